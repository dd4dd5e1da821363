#include "MeshSimplify.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

using TPosition = std::array<double, 3>;

struct TIndexedMesh {
  std::vector<TPosition> Vertices;
  std::vector<unsigned int> Indices;  // three a triangle
};

// One vertex for each place a face uses.
TIndexedMesh Weld(const TWavefrontMesh& mesh) {
  TIndexedMesh indexed;
  for (const auto& face : mesh.Faces)
    for (const int32_t corner : face) indexed.Indices.push_back(static_cast<unsigned int>(corner));
  std::vector<unsigned int> remap(mesh.Vertices.size());
  const size_t unique =
      meshopt_generateVertexRemap(remap.data(), indexed.Indices.data(), indexed.Indices.size(),
                                  mesh.Vertices.data(), mesh.Vertices.size(), sizeof(TPosition));
  indexed.Vertices.resize(unique);
  meshopt_remapVertexBuffer(indexed.Vertices.data(), mesh.Vertices.data(), mesh.Vertices.size(),
                            sizeof(TPosition), remap.data());
  meshopt_remapIndexBuffer(indexed.Indices.data(), indexed.Indices.data(), indexed.Indices.size(),
                           remap.data());
  return indexed;
}

// Single-precision positions in -1..1 for the simplifier: coordinates of any size keep their
// shape there, where a plain conversion could turn them into infinities.
std::vector<float> UnitPositions(const std::vector<TPosition>& vertices) {
  TPosition low = vertices[0], high = vertices[0];
  for (const TPosition& v : vertices)
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], v[axis]);
      high[axis] = std::max(high[axis], v[axis]);
    }
  // Halves first, so that no sum or difference leaves the double range.
  TPosition middle;
  double halfExtent = 0;
  for (int axis = 0; axis < 3; ++axis) {
    middle[axis] = low[axis] / 2 + high[axis] / 2;
    halfExtent = std::max(halfExtent, high[axis] / 2 - low[axis] / 2);
  }
  if (halfExtent == 0) halfExtent = 1;
  std::vector<float> positions;
  positions.reserve(vertices.size() * 3);
  for (const TPosition& v : vertices)
    for (int axis = 0; axis < 3; ++axis)
      positions.push_back(static_cast<float>((v[axis] / 2 - middle[axis] / 2) / halfExtent));
  return positions;
}

// At most `targetFaces` triangles: edge collapses where they can get there, else clustering.
std::vector<unsigned int> Collapse(const TIndexedMesh& mesh, const std::vector<float>& positions,
                                   size_t targetFaces) {
  // Any error is allowed: the count is the aim, and the collapses go cheapest first.
  constexpr float kAnyError = 1;
  if (mesh.Indices.size() <= targetFaces * 3) return mesh.Indices;
  std::vector<unsigned int> indices(mesh.Indices.size());
  indices.resize(meshopt_simplify(indices.data(), mesh.Indices.data(), mesh.Indices.size(),
                                  positions.data(), mesh.Vertices.size(), 3 * sizeof(float),
                                  targetFaces * 3, kAnyError));
  if (indices.size() <= targetFaces * 3) return indices;
  // Collapses stop at edges that would fold the surface; merging nearby vertices does not.
  std::vector<unsigned int> clustered(indices.size());
  clustered.resize(meshopt_simplifySloppy(clustered.data(), indices.data(), indices.size(),
                                          positions.data(), mesh.Vertices.size(), 3 * sizeof(float),
                                          targetFaces * 3, kAnyError));
  return clustered;
}

}  // namespace

TWavefrontMesh SimplifyMesh(const TWavefrontMesh& mesh, int32_t maxFaces) {
  TIndexedMesh welded = Weld(mesh);
  TWavefrontMesh result;
  result.Polygons = mesh.Polygons;
  if (welded.Vertices.empty()) return result;
  const std::vector<float> positions = UnitPositions(welded.Vertices);
  size_t target = static_cast<size_t>(std::clamp(maxFaces, 1, kObjectFileMaxCount));
  // Faces that share few corners need fewer faces to get under the vertex limit: aim lower
  // by the share the vertices are over, a few times at most.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::vector<unsigned int> indices = Collapse(welded, positions, target);
    std::vector<TPosition> vertices(welded.Vertices.size());
    vertices.resize(meshopt_optimizeVertexFetch(vertices.data(), indices.data(), indices.size(),
                                                welded.Vertices.data(), welded.Vertices.size(),
                                                sizeof(TPosition)));
    const size_t faces = indices.size() / 3;
    if (faces <= target && vertices.size() <= kObjectFileMaxCount) {
      result.Vertices = std::move(vertices);
      for (size_t i = 0; i < faces; ++i)
        result.Faces.push_back({static_cast<int32_t>(indices[3 * i]),
                                static_cast<int32_t>(indices[3 * i + 1]),
                                static_cast<int32_t>(indices[3 * i + 2])});
      return result;
    }
    target = std::max<size_t>(1, static_cast<size_t>(static_cast<double>(std::min(faces, target)) *
                                                     kObjectFileMaxCount / vertices.size() * 0.95));
  }
  throw TWavefrontError("cannot simplify the mesh to " + std::to_string(maxFaces) +
                        " triangles and 32767 vertices");
}
