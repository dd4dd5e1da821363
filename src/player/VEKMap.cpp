#include "player/VEKMap.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/PL_Files.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Process.h"
#include "platform/PL_Text.h"
#include "player/VEKCheck.h"
#include "player/VEKFindPresentation.h"
#include "player/VEKMapPictures.h"

namespace {
// Graphviz lays out and draws a large map in well under this.
constexpr uint32_t kDotLimitMs = 60000;
constexpr const char* kUnreachedColour = "#c00000";
constexpr const char* kButtonColour = "#1f5fbf";
constexpr const char* kReturnColour = "#707070";

int Fail(const std::string& text) {
  std::fprintf(stderr, "veke-render: %s\n", text.c_str());
  return 2;
}

// A folder of its own for the pictures and Graphviz's files, gone when the map is done.
class TWorkFolder {
 public:
  TWorkFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/veke-map-XXXXXX";
    if (mkdtemp(pattern.data())) Path = pattern;
  }
  ~TWorkFolder() {
    std::error_code ignored;
    if (!Path.empty()) std::filesystem::remove_all(Path, ignored);
  }
  std::string Path;
};

std::string Html(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
  }
  return out;
}

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t left = bytes.size() - i;
    const uint32_t group =
        bytes[i] << 16 | (left > 1 ? bytes[i + 1] << 8 : 0) | (left > 2 ? bytes[i + 2] : 0);
    for (size_t k = 0; k < 4; ++k) out += k <= left ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// One box: the picture (or why there is none) above the section's name.
std::string Box(size_t index, const TSectionOutline& section, const std::string& picture,
                const std::string& failure) {
  std::ostringstream out;
  out << "  s" << index << " [id=\"section" << index << "\", class=\""
      << (section.Reached ? "section" : "section unreachable") << "\", tooltip=\""
      << Html(section.Line ? "line " + std::to_string(section.Line) : "the main section")
      << "\", label=<<TABLE BORDER=\"0\" CELLSPACING=\"2\"><TR>";
  if (failure.empty())
    out << "<TD FIXEDSIZE=\"TRUE\" WIDTH=\"" << kThumbnailWidth << "\" HEIGHT=\""
        << kThumbnailWidth * 3 / 4 << "\"><IMG SCALE=\"TRUE\" SRC=\"" << Html(picture)
        << "\"/></TD>";
  else
    out << "<TD FIXEDSIZE=\"TRUE\" WIDTH=\"" << kThumbnailWidth << "\" HEIGHT=\""
        << kThumbnailWidth * 3 / 4 << "\" BGCOLOR=\"#eeeeee\"><FONT POINT-SIZE=\"8\">"
        << "cannot be shown:<BR/>" << Html(failure) << "</FONT></TD>";
  out << "</TR><TR><TD><B>" << Html(section.Name) << "</B></TD></TR>";
  if (!section.Reached)
    out << "<TR><TD><FONT COLOR=\"" << kUnreachedColour << "\">cannot be reached</FONT></TD></TR>";
  out << "</TABLE>>";
  if (!section.Reached)
    out << ", color=\"" << kUnreachedColour << "\", style=\"dashed\", penwidth=2";
  if (section.Line == 0) out << ", peripheries=2";
  out << "];\n";
  return out.str();
}

std::string Arrow(const TSectionLink& link) {
  std::ostringstream out;
  out << "  s" << link.From << " -> s" << link.To << " [";
  switch (link.Kind) {
    case TLinkKind::Call:
      out << "class=\"call\", style=\"solid\"";
      break;
    case TLinkKind::Jump:
      out << "class=\"jump\", style=\"dashed\"";
      break;
    case TLinkKind::Return:
      out << "class=\"return\", style=\"dotted\", color=\"" << kReturnColour << "\", fontcolor=\""
          << kReturnColour << "\", constraint=false";
      break;
    case TLinkKind::Button:
      out << "class=\"button\", style=\"solid\", color=\"" << kButtonColour << "\", fontcolor=\""
          << kButtonColour << "\"";
      break;
  }
  if (!link.Label.empty()) out << ", label=<" << Html(link.Label) << ">";
  out << "];\n";
  return out.str();
}

std::string DotText(const TScriptOutline& outline, const std::vector<std::string>& pictures,
                    const std::vector<std::string>& failures) {
  std::ostringstream out;
  out << "digraph map {\n"
         "  graph [fontname=\"DejaVu Sans\", fontsize=9, labelloc=b, nodesep=0.4, "
         "label=\"solid: CALL   dashed: JUMP   dotted: RETURN   blue, named: button   "
         "red: cannot be reached   double: the main section\"];\n"
         "  node [shape=box, fontname=\"DejaVu Sans\", fontsize=10, margin=0.04];\n"
         "  edge [fontname=\"DejaVu Sans\", fontsize=9];\n";
  for (size_t i = 0; i < outline.Sections.size(); ++i)
    out << Box(i, outline.Sections[i], pictures[i], failures[i]);
  for (const TSectionLink& link : outline.Links) out << Arrow(link);
  out << "}\n";
  return out.str();
}

// Graphviz names the pictures by their files; a map that stands alone carries them inside.
bool EmbedPictures(std::string& svg, const std::vector<std::string>& pictures, std::string& error) {
  for (const std::string& picture : pictures) {
    if (picture.empty()) continue;
    const std::string reference = "\"" + Html(picture) + "\"";
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(picture, bytes, error)) return false;
    const std::string data = "\"data:image/png;base64," + Base64(bytes) + "\"";
    for (size_t at = svg.find(reference); at != std::string::npos;
         at = svg.find(reference, at + data.size()))
      svg.replace(at, reference.size(), data);
  }
  return true;
}

bool WriteOut(const std::string& path, const std::string& bytes, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) error = "cannot write " + path + ": " + std::strerror(errno);
  return static_cast<bool>(out);
}
}  // namespace

int DrawScriptMap(const TMapRequest& request) {
  const std::string kind = UpperAscii(std::filesystem::path(request.OutFile).extension().string());
  if (kind != ".SVG" && kind != ".PNG")
    return Fail("--map writes a .svg or .png file, not " + request.OutFile);
  // Told before any section is played, so a mistyped folder costs no time.
  const std::filesystem::path outFolder =
      std::filesystem::path(request.OutFile).parent_path().empty()
          ? std::filesystem::path(".")
          : std::filesystem::path(request.OutFile).parent_path();
  if (access(outFolder.c_str(), W_OK) != 0)
    return Fail("cannot write " + request.OutFile + ": " + std::strerror(errno));
  const std::string dot = FindProgram("dot");
  if (dot.empty())
    return Fail(
        "--map needs Graphviz's dot program, which is not on PATH (Debian package graphviz)");
  const std::string program = SelfExecutablePath();
  const TFoundPresentation found = FindPresentation(request.Given, request.Chosen);
  if (!found.Error.empty()) return Fail(found.Error);
  const std::string script = ResolveGivenPath(found.Script);
  if (!IsRegularFile(script)) return Fail(request.Given + ": script not found");
  TScriptOutline outline;
  try {
    outline = OutlineScript(script);
  } catch (const std::exception& failure) {
    return Fail(request.Given + ": script cannot be read: " + failure.what());
  }
  bool mistakes = false;
  for (const TFinding& finding : outline.Findings) {
    std::fprintf(stderr, "%s:%d: %s%s\n", request.Given.c_str(), finding.Line,
                 finding.Warning ? "warning: " : "", finding.Message.c_str());
    mistakes = mistakes || !finding.Warning;
  }
  TWorkFolder work;
  if (work.Path.empty())
    return Fail(std::string("cannot make a work folder: ") + std::strerror(errno));

  std::vector<std::string> pictures, failures;
  for (size_t i = 0; i < outline.Sections.size(); ++i) {
    const std::string picture = work.Path + "/section" + std::to_string(i) + ".png";
    const std::string section = i == 0 ? "" : outline.Sections[i].Name;
    failures.push_back(
        DrawSectionPicture(program, request.Given, section, request.PlayOptions, picture));
    pictures.push_back(failures.back().empty() ? picture : "");
  }

  const std::string dotFile = work.Path + "/map.dot", drawn = work.Path + "/map" + kind;
  std::string error;
  if (!WriteOut(dotFile, DotText(outline, pictures, failures), error)) return Fail(error);
  const TProgramRun run =
      RunProgram({dot, kind == ".SVG" ? "-Tsvg" : "-Tpng", dotFile, "-o", drawn},
                 work.Path + "/dot.log", kDotLimitMs);
  if (!run.Started) return Fail("Graphviz's dot does not start: " + run.Error);
  if (run.TimedOut) return Fail("Graphviz's dot did not draw the map in time");
  if (run.ExitCode != 0) {
    std::string said;
    ReadWholeFile(work.Path + "/dot.log", said, error, 1 << 16);
    return Fail("Graphviz's dot could not draw the map: " + said);
  }
  std::string bytes;
  if (!ReadWholeFile(drawn, bytes, error)) return Fail(error);
  if (kind == ".SVG" && !EmbedPictures(bytes, pictures, error)) return Fail(error);
  if (!WriteOut(request.OutFile, bytes, error)) return Fail(error);
  return mistakes ? 1 : 0;
}
