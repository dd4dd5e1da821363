#pragma once
// Objects of the 3D scene written in the compact object format, and a fill routine that only
// records what it is given, so the scene's order and corners can be checked without pixels.
#include <cstdint>
#include <memory>
#include <string>
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
