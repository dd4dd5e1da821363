#include "render3d/SE_Wavefront.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void Fail(int32_t line, const std::string& text) {
  throw TWavefrontError("line " + std::to_string(line) + ": " + text);
}

// A word of the file as a message shows it: bytes that are not printable (a NUL byte would
// end the message early) as \xNN, and a long word cut short.
std::string Quoted(std::string_view word) {
  constexpr size_t kShown = 40;
  std::string text = "\"";
  for (const char c : word.substr(0, kShown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '"' || c == '\\') {
      constexpr char kHex[] = "0123456789ABCDEF";
      text += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
    } else {
      text += c;
    }
  }
  return text + (word.size() > kShown ? "\"..." : "\"");
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < line.size()) {
    at = line.find_first_not_of(" \t\r", at);
    if (at == std::string_view::npos) break;
    size_t end = line.find_first_of(" \t\r", at);
    if (end == std::string_view::npos) end = line.size();
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

// strtod rather than from_chars, which not every standard library reads doubles with yet; the
// player never leaves the "C" locale, so the decimal point is always a point. What strtod takes
// beyond from_chars (a leading '+' or space, hexadecimal) is refused as before, and so is a
// value too small to hold, which strtod makes 0; a subnormal one stays.
double Coordinate(std::string_view word, int32_t line) {
  const std::string text(word);
  const size_t first = text.starts_with('-') ? 1 : 0;
  const bool plain =
      first < text.size() &&
      (std::isdigit(static_cast<unsigned char>(text[first])) || text[first] == '.') &&
      text.find_first_of("xX") == std::string::npos;
  char* end = nullptr;
  errno = 0;
  const double value = plain ? std::strtod(text.c_str(), &end) : 0;
  if (!plain || (errno == ERANGE && value == 0) || end != text.c_str() + text.size() ||
      !std::isfinite(value))
    Fail(line, "bad coordinate " + Quoted(word));
  return value;
}

// "7", "7/2", "7//3" or "-1" (counted back from the last vertex read so far).
int32_t VertexIndex(std::string_view word, int32_t line, size_t vertexCount) {
  word = word.substr(0, word.find('/'));
  int64_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || value == 0)
    Fail(line, "bad vertex number " + Quoted(word));
  const int64_t index = value > 0 ? value - 1 : static_cast<int64_t>(vertexCount) + value;
  if (index < 0 || index >= static_cast<int64_t>(vertexCount))
    Fail(line, "vertex " + std::to_string(value) + " is not among the " +
                   std::to_string(vertexCount) + " vertices read so far");
  return static_cast<int32_t>(index);
}

}  // namespace

TWavefrontMesh ReadWavefront(std::string_view text) {
  TWavefrontMesh mesh;
  int32_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    line = line.substr(0, line.find('#'));
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) continue;
    if (words[0] == "v") {
      if (words.size() < 4) Fail(lineNumber, "a vertex needs x, y and z");
      mesh.Vertices.push_back({Coordinate(words[1], lineNumber), Coordinate(words[2], lineNumber),
                               Coordinate(words[3], lineNumber)});
    } else if (words[0] == "f") {
      if (words.size() < 4) Fail(lineNumber, "a face needs at least three corners");
      std::vector<int32_t> corners;
      for (size_t i = 1; i < words.size(); ++i)
        corners.push_back(VertexIndex(words[i], lineNumber, mesh.Vertices.size()));
      if (corners.size() > 3) ++mesh.Polygons;
      for (size_t i = 1; i + 1 < corners.size(); ++i)
        mesh.Faces.push_back({corners[0], corners[i], corners[i + 1]});
    }
    // Everything else (normals, texture coordinates, groups, materials) has no place in the
    // object file.
  }
  return mesh;
}

namespace {

// Coordinates near the ends of the double range must neither overflow on the way (sum, square)
// nor collapse: the half sum and hypot keep every step finite where the result is.
void Transform(TWavefrontMesh& mesh, const TWavefrontOptions& options) {
  std::array<double, 3> low = mesh.Vertices[0], high = mesh.Vertices[0];
  for (const auto& v : mesh.Vertices)
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], v[axis]);
      high[axis] = std::max(high[axis], v[axis]);
    }
  double farthest = 0;
  for (auto& v : mesh.Vertices) {
    for (int axis = 0; axis < 3; ++axis) {
      if (options.Center) v[axis] -= low[axis] / 2 + high[axis] / 2;
      v[axis] *= options.Scale;
      if (!std::isfinite(v[axis]))
        throw TWavefrontError("coordinates too large to centre or scale; use a smaller --scale");
    }
    if (options.ConvertAxes) v = {v[0], -v[1], -v[2]};
    farthest = std::max(farthest, std::hypot(v[0], v[1], v[2]));
  }
  if (options.Fit > 0 && farthest > 0)
    for (auto& v : mesh.Vertices)
      for (double& c : v) c = c / farthest * options.Fit;
}

void PutInt16(std::vector<uint8_t>& out, int32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

std::vector<uint8_t> WriteObjectFile(TWavefrontMesh mesh, const TWavefrontOptions& options,
                                     TWavefrontStats* stats) {
  if (mesh.Vertices.size() > kObjectFileMaxCount)
    throw TWavefrontError(std::to_string(mesh.Vertices.size()) +
                          " vertices; the object file holds at most 32767");
  if (mesh.Faces.size() > kObjectFileMaxCount)
    throw TWavefrontError(std::to_string(mesh.Faces.size()) +
                          " triangles; the object file holds at most 32767");
  if (mesh.Faces.empty())
    throw TWavefrontError("no faces (\"f\" lines): the object would draw nothing");
  Transform(mesh, options);
  std::vector<uint8_t> out;
  out.reserve(4 + 6 * (mesh.Vertices.size() + mesh.Faces.size()));
  PutInt16(out, static_cast<int32_t>(mesh.Vertices.size()));
  PutInt16(out, static_cast<int32_t>(mesh.Faces.size()));
  bool onePoint = true;
  for (size_t i = 0; i < mesh.Vertices.size(); ++i)
    for (int axis = 0; axis < 3; ++axis) {
      const double rounded = std::nearbyint(mesh.Vertices[i][axis]);
      if (rounded < -32768 || rounded > 32767)
        throw TWavefrontError("vertex " + std::to_string(i + 1) + " lies outside -32768..32767 "
                              "after scaling; use a smaller --scale or --fit");
      onePoint = onePoint && rounded == std::nearbyint(mesh.Vertices[0][axis]);
      PutInt16(out, static_cast<int32_t>(rounded));
    }
  // Coordinates are whole numbers: a mesh a few units across shrinks to a dot.
  if (onePoint)
    throw TWavefrontError("every vertex rounds to the same point, so nothing would show; "
                          "scale the mesh up (--fit 100 suits the default zoom)");
  for (const auto& face : mesh.Faces)
    for (int32_t corner : face) PutInt16(out, corner + 1);
  if (stats) {
    stats->Vertices = static_cast<int32_t>(mesh.Vertices.size());
    stats->Faces = static_cast<int32_t>(mesh.Faces.size());
    stats->Polygons = mesh.Polygons;
  }
  return out;
}

std::vector<uint8_t> ConvertWavefront(std::string_view text, const TWavefrontOptions& options,
                                      TWavefrontStats* stats) {
  return WriteObjectFile(ReadWavefront(text), options, stats);
}
