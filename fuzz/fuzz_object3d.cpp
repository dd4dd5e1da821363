// Parses arbitrary bytes as 3D object data at a few scales with every mapping, then renders
// the object into a small frame in every render code at angles, zoom and place taken from the
// bytes, painter-ordered and with a depth buffer: nothing may read or write outside a buffer,
// and no arithmetic may overflow, whatever the vertices and faces say.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "render3d/SE_3DMapping.h"
#include "render3d/SE_3DObjectFile.h"
#include "render3d/SE_3De.h"
#include "render3d/SE_PolyFiller.h"

namespace {

constexpr int32_t kWidth = 64, kHeight = 48;
constexpr size_t kHeaderSize = 12;

int32_t Int16At(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

std::vector<uint16_t> Pattern(uint16_t seed) {
  std::vector<uint16_t> texture(kTexturePixels);
  for (int32_t i = 0; i < kTexturePixels; ++i)
    texture[i] = static_cast<uint16_t>((i * 2654435761u) >> 16 ^ seed);
  return texture;
}

void RenderEveryCode(TSE3D& scene, T3DObject& object, std::vector<uint16_t>& frame) {
  for (int32_t mode = 0; mode <= 5; ++mode) {
    object.RenderCode = RenderCodeOfMode(mode);
    object.FillProc = FillProcFor(object.RenderCode, scene.ZBufferEnabled);
    scene.RenderAll(frame.data(), kWidth);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) return 0;
  // Header: flags, three angles, zoom, screen x and y (16 bits each), then the object data.
  const uint8_t flags = data[0];
  const float scales[] = {1.0f, 0.5f, 3.7f, 0.0f, 1e-30f, 2e9f};
  const float scale = scales[(flags & 7) % 6];
  static const std::vector<uint16_t> texture = Pattern(0), texture2 = Pattern(0x5A5A);

  auto object = std::make_shared<T3DObject>();
  try {
    ParseObjectData(data + kHeaderSize, size - kHeaderSize, {scale, scale * 2, scale}, "fuzz",
                    *object);
  } catch (const T3DObjectError&) {
    return 0;
  }
  const T3DScale objectScale{scale, scale * 2, scale};
  for (int32_t mapping = 0; mapping <= 29; ++mapping)
    GenerateTexCoords(*object, mapping, objectScale);
  // The last mapping tried is the one drawn: the bytes choose it.
  GenerateTexCoords(*object, data[1] % 28, objectScale);

  object->Alfa = Int16At(data + 2) * 7;
  object->Beta = Int16At(data + 4) * 11;
  object->Gamma = Int16At(data + 6);
  object->ScreenX = Int16At(data + 10) % 200;
  object->ScreenY = static_cast<int8_t>(data[1]);
  object->ShowInvisibleFaces = flags & 8;
  if (!(flags & 16)) object->Texture = texture;
  object->Texture2 = texture2;

  TSE3D scene(kWidth, kHeight, flags & 32 ? 15 : 16, 0, kHeight - 1, 0, kWidth - 1);
  scene.Zoom = Int16At(data + 8) * (flags & 64 ? 65536 : 1);
  scene.Objects.push_back(object);
  scene.TotalFaces = object->FaceCount;
  std::vector<uint16_t> frame(kWidth * kHeight);
  if (!(flags & 128)) scene.Prepare(false);  // else the buffers grow in RenderAll
  RenderEveryCode(scene, *object, frame);
  scene.Prepare(true);
  RenderEveryCode(scene, *object, frame);
  return 0;
}
