#include "render3d/SE_Wavefront.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace {

constexpr int32_t kMaxCount = 32767;

struct TMesh {
  std::vector<std::array<double, 3>> Vertices;
  std::vector<std::array<int32_t, 3>> Faces;  // 0-based
  int32_t Polygons = 0;
};

[[noreturn]] void Fail(int32_t line, const std::string& text) {
  throw TWavefrontError("line " + std::to_string(line) + ": " + text);
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t at = 0;
  while (at < line.size()) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string_view::npos) break;
    size_t end = line.find_first_of(" \t", at);
    if (end == std::string_view::npos) end = line.size();
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

double Coordinate(std::string_view word, int32_t line) {
  double value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value))
    Fail(line, "bad coordinate \"" + std::string(word) + "\"");
  return value;
}

// "7", "7/2", "7//3" or "-1" (counted back from the last vertex read so far).
int32_t VertexIndex(std::string_view word, int32_t line, size_t vertexCount) {
  word = word.substr(0, word.find('/'));
  int64_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || value == 0)
    Fail(line, "bad vertex number \"" + std::string(word) + "\"");
  const int64_t index = value > 0 ? value - 1 : static_cast<int64_t>(vertexCount) + value;
  if (index < 0 || index >= static_cast<int64_t>(vertexCount))
    Fail(line, "vertex " + std::to_string(value) + " is not among the " +
                   std::to_string(vertexCount) + " vertices read so far");
  return static_cast<int32_t>(index);
}

TMesh ReadMesh(std::string_view text) {
  TMesh mesh;
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

void Transform(TMesh& mesh, const TWavefrontOptions& options) {
  if (mesh.Vertices.empty()) return;
  std::array<double, 3> low = mesh.Vertices[0], high = mesh.Vertices[0];
  for (const auto& v : mesh.Vertices)
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], v[axis]);
      high[axis] = std::max(high[axis], v[axis]);
    }
  double farthest = 0;
  for (auto& v : mesh.Vertices) {
    for (int axis = 0; axis < 3; ++axis) {
      if (options.Center) v[axis] -= (low[axis] + high[axis]) / 2;
      v[axis] *= options.Scale;
    }
    if (options.ConvertAxes) v = {v[0], -v[1], -v[2]};
    farthest = std::max(farthest, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
  }
  if (options.Fit > 0 && farthest > 0)
    for (auto& v : mesh.Vertices)
      for (double& c : v) c *= options.Fit / farthest;
}

void PutInt16(std::vector<uint8_t>& out, int32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

std::vector<uint8_t> ConvertWavefront(std::string_view text, const TWavefrontOptions& options,
                                      TWavefrontStats* stats) {
  TMesh mesh = ReadMesh(text);
  if (mesh.Vertices.size() > kMaxCount)
    throw TWavefrontError(std::to_string(mesh.Vertices.size()) +
                          " vertices; the object file holds at most 32767");
  if (mesh.Faces.size() > kMaxCount)
    throw TWavefrontError(std::to_string(mesh.Faces.size()) +
                          " triangles; the object file holds at most 32767");
  Transform(mesh, options);
  std::vector<uint8_t> out;
  out.reserve(4 + 6 * (mesh.Vertices.size() + mesh.Faces.size()));
  PutInt16(out, static_cast<int32_t>(mesh.Vertices.size()));
  PutInt16(out, static_cast<int32_t>(mesh.Faces.size()));
  for (size_t i = 0; i < mesh.Vertices.size(); ++i)
    for (double c : mesh.Vertices[i]) {
      const double rounded = std::nearbyint(c);
      if (rounded < -32768 || rounded > 32767)
        throw TWavefrontError("vertex " + std::to_string(i + 1) + " lies outside -32768..32767 "
                              "after scaling; use a smaller --scale or --fit");
      PutInt16(out, static_cast<int32_t>(rounded));
    }
  for (const auto& face : mesh.Faces)
    for (int32_t corner : face) PutInt16(out, corner + 1);
  if (stats) {
    stats->Vertices = static_cast<int32_t>(mesh.Vertices.size());
    stats->Faces = static_cast<int32_t>(mesh.Faces.size());
    stats->Polygons = mesh.Polygons;
  }
  return out;
}
