// obj2vk: turns a Wavefront OBJ mesh, as any 3D tool writes it, into the player's object file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "render3d/SE_Wavefront.h"

namespace {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: obj2vk [OPTIONS] IN.obj OUT\n"
    "Converts a Wavefront OBJ mesh into a 3D object file for CREATE3DOBJ.\n"
    "\n"
    "  --scale S     multiply every coordinate by S (after --center)\n"
    "  --fit R       scale so that the vertex farthest from the origin lies R units from it;\n"
    "                about 100 suits the default 3D zoom (an object about 100 pixels across)\n"
    "  --center      move the middle of the mesh to the origin first\n"
    "  --keep-axes   keep the coordinates as they are; by default y up and z towards the\n"
    "                viewer (as 3D tools have them) become the player's y down and z away\n"
    "  --help        show this text\n"
    "\n"
    "Polygons are fanned into triangles. Texture coordinates and normals are not stored: the\n"
    "player computes them from the mapping and the faces. Coordinates are rounded to whole\n"
    "numbers in -32768..32767, so scale small meshes up (--fit).\n";

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr, "obj2vk: %s\n%s", problem.c_str(), kUsage);
  std::exit(kExitUsage);
}

double Number(const char* text, const char* option) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (!*text || *end || !(value > 0)) Usage(std::string(option) + " needs a positive number");
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  TWavefrontOptions options;
  std::string in, out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--scale" && hasValue) {
      options.Scale = Number(argv[++i], "--scale");
    } else if (arg == "--fit" && hasValue) {
      options.Fit = Number(argv[++i], "--fit");
    } else if (arg == "--center") {
      options.Center = true;
    } else if (arg == "--keep-axes") {
      options.ConvertAxes = false;
    } else if (arg.starts_with("--")) {
      Usage("unknown option or missing value: " + arg);
    } else if (in.empty()) {
      in = arg;
    } else if (out.empty()) {
      out = arg;
    } else {
      Usage("too many file names");
    }
  }
  if (out.empty()) Usage("an input and an output file are needed");

  std::ifstream file(in, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "obj2vk: cannot read %s: %s\n", in.c_str(), std::strerror(errno));
    return kExitError;
  }
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  try {
    TWavefrontStats stats;
    const std::vector<uint8_t> bytes = ConvertWavefront(text, options, &stats);
    std::ofstream output(out, std::ios::binary);
    output.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    output.close();
    if (!output) {
      std::fprintf(stderr, "obj2vk: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
      return kExitError;
    }
    std::printf("%s: %d vertices, %d triangles (%d polygons fanned)\n", out.c_str(),
                stats.Vertices, stats.Faces, stats.Polygons);
  } catch (const TWavefrontError& error) {
    std::fprintf(stderr, "obj2vk: %s: %s\n", in.c_str(), error.what());
    return kExitError;
  }
  return 0;
}
