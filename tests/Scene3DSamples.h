#pragma once
// Objects of the 3D scene written in the compact object format, and a fill routine that only
// records what it is given, so the scene's order and corners can be checked without pixels.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render3d/SE_3DObjectFile.h"
#include "render3d/SE_3De.h"

namespace samples {

inline void PutInt16(std::string& bytes, int32_t value) {
  bytes += char(value & 255);
  bytes += char((value >> 8) & 255);
}

// Object data: the counts, then every vertex and face as three 16-bit numbers.
inline std::string ObjectBytes(const std::vector<TVector3>& vertices,
                               const std::vector<TVector3>& faces) {
  std::string bytes;
  PutInt16(bytes, static_cast<int32_t>(vertices.size()));
  PutInt16(bytes, static_cast<int32_t>(faces.size()));
  for (const auto& list : {vertices, faces})
    for (const TVector3& v : list) {
      PutInt16(bytes, v.X);
      PutInt16(bytes, v.Y);
      PutInt16(bytes, v.Z);
    }
  return bytes;
}

inline std::shared_ptr<T3DObject> ParsedObject(const std::string& bytes, float scale = 1,
                                               const std::string& name = "test.vko") {
  auto object = std::make_shared<T3DObject>();
  ParseObjectData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                  {scale, scale, scale}, name, *object);
  return object;
}

// A square of side 2 x half around the origin in the plane z, facing the viewer: faces
// (1, 3, 2) and (2, 3, 4) run counter-clockwise on the screen.
inline std::string SquareBytes(int32_t half, int32_t z = 0) {
  return ObjectBytes({{-half, -half, z}, {half, -half, z}, {-half, half, z}, {half, half, z}},
                     {{1, 3, 2}, {2, 3, 4}});
}

// Faces of a closed object around the origin with their corners ordered so that each normal
// points outward, as authored objects are: the faces turned to the viewer then run
// counter-clockwise on the screen.
inline std::vector<TVector3> OutwardFaces(const std::vector<TVector3>& v,
                                          std::vector<TVector3> faces) {
  for (TVector3& f : faces) {
    const TVector3 a = v[f.X - 1], b = v[f.Y - 1], c = v[f.Z - 1];
    const int64_t e1x = b.X - a.X, e1y = b.Y - a.Y, e1z = b.Z - a.Z;
    const int64_t e2x = c.X - a.X, e2y = c.Y - a.Y, e2z = c.Z - a.Z;
    const int64_t nx = e1y * e2z - e1z * e2y, ny = e1z * e2x - e1x * e2z,
                  nz = e1x * e2y - e1y * e2x;
    // The centroid points outward from the origin.
    if (nx * (a.X + b.X + c.X) + ny * (a.Y + b.Y + c.Y) + nz * (a.Z + b.Z + c.Z) < 0)
      std::swap(f.Y, f.Z);
  }
  return faces;
}

// A cube of side 2 x half around the origin, two triangles a side.
inline std::string CubeBytes(int32_t half) {
  std::vector<TVector3> v;
  for (int32_t x : {-half, half})
    for (int32_t y : {-half, half})
      for (int32_t z : {-half, half}) v.push_back({x, y, z});
  return ObjectBytes(v, OutwardFaces(v, {{1, 2, 4},
                                         {1, 4, 3},
                                         {5, 7, 8},
                                         {5, 8, 6},
                                         {1, 5, 6},
                                         {1, 6, 2},
                                         {3, 4, 8},
                                         {3, 8, 7},
                                         {1, 3, 7},
                                         {1, 7, 5},
                                         {2, 6, 8},
                                         {2, 8, 4}}));
}

inline std::vector<TFaceRec>& RecordedFaces() {
  static std::vector<TFaceRec> faces;
  return faces;
}
inline void RecordFace(const TFillTarget&, const TFaceRec& face) {
  RecordedFaces().push_back(face);
}

// Adds a parsed object to the scene as a loaded one would be, drawn by RecordFace.
inline std::shared_ptr<T3DObject> AddRecorded(TSE3D& scene, const std::string& bytes,
                                              int32_t screenX = 320, int32_t screenY = 240) {
  auto object = ParsedObject(bytes);
  object->ScreenX = screenX;
  object->ScreenY = screenY;
  object->FillProc = RecordFace;
  scene.TotalFaces += object->FaceCount;
  scene.TotalVertices += object->VertexCount;
  scene.Objects.push_back(object);
  return object;
}

}  // namespace samples
