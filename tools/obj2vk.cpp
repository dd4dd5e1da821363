// obj2vk: turns a Wavefront OBJ mesh, as any 3D tool writes it, into the player's object file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "MeshSimplify.h"
#include "ToolFiles.h"
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
    "  --max-faces N simplify the mesh to at most N triangles (1 to 32767)\n"
    "  --help        show this text\n"
    "\n"
    "Polygons are fanned into triangles. Texture coordinates and normals are not stored: the\n"
    "player computes them from the mapping and the faces. Coordinates are rounded to whole\n"
    "numbers in -32768..32767, so scale small meshes up (--fit). An object holds at most\n"
    "32767 vertices and 32767 triangles: a larger mesh is simplified to fit, with a note,\n"
    "keeping its shape as well as it can.\n";

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

int32_t FaceLimit(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (!*text || *end || errno || value < 1 || value > kObjectFileMaxCount)
    Usage("--max-faces needs a whole number from 1 to 32767");
  return static_cast<int32_t>(value);
}

// The mesh within the object file's limits and the user's: simplified when it is above
// either, with a note when the user did not ask for it.
TWavefrontMesh FitMesh(TWavefrontMesh mesh, int32_t maxFaces, const std::string& name) {
  const size_t faces = mesh.Faces.size(), vertices = mesh.Vertices.size();
  const bool asked = maxFaces > 0;
  const size_t limit = asked ? static_cast<size_t>(maxFaces) : kObjectFileMaxCount;
  if (faces <= limit && vertices <= kObjectFileMaxCount) return mesh;
  TWavefrontMesh simplified = SimplifyMesh(mesh, static_cast<int32_t>(limit));
  if (!asked)
    std::fprintf(stderr,
                 "obj2vk: note: %s has %zu vertices and %zu triangles, more than an object "
                 "file holds (32767 each); simplified to %zu vertices and %zu triangles "
                 "(--max-faces chooses fewer)\n",
                 name.c_str(), vertices, faces, simplified.Vertices.size(),
                 simplified.Faces.size());
  return simplified;
}

}  // namespace

int main(int argc, char** argv) {
  TWavefrontOptions options;
  int32_t maxFaces = 0;
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
    } else if (arg == "--max-faces" && hasValue) {
      maxFaces = FaceLimit(argv[++i]);
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

  std::string text;
  try {
    text = ReadInputFile(in);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "obj2vk: %s\n", error.what());
    return kExitError;
  }
  try {
    TWavefrontStats stats;
    const std::vector<uint8_t> bytes =
        WriteObjectFile(FitMesh(ReadWavefront(text), maxFaces, in), options, &stats);
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
  } catch (const std::exception& error) {
    std::fprintf(stderr, "obj2vk: %s: %s\n", in.c_str(), error.what());
    return kExitError;
  }
  return 0;
}
