#include "render3d/SE_3De.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/PL_Files.h"
#include "platform/PL_Paths.h"
#include "render3d/SE_3DMapping.h"
#include "render3d/SE_3DObjectFile.h"
#include "render3d/SE_3DTexture.h"
#include "render3d/SE_3DTransform.h"
#include "render3d/SE_PolyFiller.h"
#include "resource/SE_Resource.h"

namespace {

// Faces filled between two questions whether to stop: a screen-sized face costs a few tens of
// microseconds, a small one far less than the question.
constexpr int32_t kFacesPerStopCheck = 16;

std::vector<uint8_t> ReadObjectFile(const std::string& name) {
  const std::string path = ResolveScriptPath(name);
  if (!IsRegularFile(path)) throw T3DObjectError("3D object " + name + ": file not found");
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error))
    throw T3DObjectError("3D object " + name + ": cannot read " + path);
  return bytes;
}

// The object entry's data; the resource file stays open for the textures.
std::vector<uint8_t> ReadObjectEntry(TGEResource& resource, const T3DLoadRequest& request) {
  const std::string label = "3D object " + request.ObjectName + " in " + request.ResFile + ": ";
  TGEResourceEntry entry;
  try {
    if (!resource.Open(request.ResFile)) throw T3DObjectError(label + resource.ErrorText);
    if (!resource.ReadByName(request.ObjectName, entry))
      throw T3DObjectError(label + "no such entry");
  } catch (const TResourceError& error) {
    throw T3DObjectError(label + error.what());
  }
  return std::move(entry.Data);
}

}  // namespace

int32_t RenderCodeOfMode(int32_t renderMode) {
  constexpr int32_t kCodes[] = {kRenderNothing, kRenderWire,    kRenderTextured,
                                kRenderKeyed,   kRenderAverage, kRenderEnvironment};
  return renderMode >= 0 && renderMode < static_cast<int32_t>(std::size(kCodes))
             ? kCodes[renderMode]
             : kRenderNothing;
}

TSE3D::TSE3D(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t clipTop,
             int32_t clipBottom, int32_t clipLeft, int32_t clipRight)
    : Width(width), Height(height), BitsPerPixel(bitsPerPixel) {
  // The fillers trust the clip rectangle, so it never reaches past the frame.
  Target.ClipTop = std::max(clipTop, 0);
  Target.ClipBottom = std::min(clipBottom, height - 1);
  Target.ClipLeft = std::max(clipLeft, 0);
  Target.ClipRight = std::min(clipRight, width - 1);
  Target.Pitch = width;
  Target.ZPitch = width;
  if (bitsPerPixel == 15) {
    Target.HalfMask = 0x3DEF;
    Target.LowMask = 0x0421;
  }
  SinTable();  // makes both angle tables now rather than during the first frame
}

TSE3D::~TSE3D() = default;

std::shared_ptr<T3DObject> TSE3D::LoadObject(const T3DLoadRequest& request) {
  auto object = std::make_shared<T3DObject>();
  const T3DScale scale = ScaleOf(request.ScaleX, request.ScaleY, request.ScaleZ);
  if (request.ResFile.empty()) {
    const std::vector<uint8_t> data = ReadObjectFile(request.ObjectName);
    ParseObjectData(data.data(), data.size(), scale, request.ObjectName, *object);
    object->Texture = LoadTextureFile(request.Texture1, BitsPerPixel);
    object->Texture2 = LoadTextureFile(request.Texture2, BitsPerPixel);
  } else {
    TGEResource resource;
    const std::vector<uint8_t> data = ReadObjectEntry(resource, request);
    ParseObjectData(data.data(), data.size(), scale, request.ObjectName + " in " + request.ResFile,
                    *object);
    object->Texture =
        LoadTextureEntry(resource, request.Texture1, BitsPerPixel, request.Convert555);
    object->Texture2 =
        LoadTextureEntry(resource, request.Texture2, BitsPerPixel, request.Convert555);
  }
  GenerateTexCoords(*object, request.Mapping, scale);
  object->ScreenX = request.ScreenX;
  object->ScreenY = request.ScreenY;
  object->ShowInvisibleFaces = request.ShowInvisibleFaces;
  object->RenderCode = RenderCodeOfMode(request.RenderMode);
  object->FillProc = FillProcFor(object->RenderCode, false);
  TotalFaces += object->FaceCount;
  TotalVertices += object->VertexCount;
  Objects.push_back(object);
  return object;
}

void TSE3D::Prepare(bool useZBuffer) {
  DrawList.assign(TotalFaces, TDrawEntry{});
  FaceBuffer.assign(TotalFaces, TFaceRec{});
  QueuedFaces = 0;
  ZBufferEnabled = useZBuffer;
  if (!useZBuffer) return;
  ZBuffer.assign(static_cast<size_t>(std::max(Width, 0)) * std::max(Height, 0), INT16_MAX);
  Target.ZBuffer = ZBuffer.data();
  Target.ZPitch = Width;
  for (const auto& object : Objects) object->FillProc = FillProcFor(object->RenderCode, true);
}

void TSE3D::RenderAll(uint16_t* frame, int32_t pitch) {
  // The fillers write 16-bit pixels only; deeper displays get no 3D at all.
  if (Objects.empty() || !frame || !TextureDepthSupported(BitsPerPixel)) return;
  Target.ScreenBuffer = frame;
  Target.Pitch = pitch;
  // Objects loaded after Prepare still find room.
  size_t faces = 0;
  for (const auto& object : Objects)
    if (object->Visible) faces += object->Faces.size();
  if (faces > DrawList.size()) {
    DrawList.resize(faces);
    FaceBuffer.resize(faces);
  }
  QueuedFaces = 0;
  if (ZBufferEnabled) std::fill(ZBuffer.begin(), ZBuffer.end(), INT16_MAX);
  TFaceQueue queue{DrawList, FaceBuffer, QueuedFaces};
  for (const auto& object : Objects) {
    if (!object->Visible) continue;
    if (Stopping()) return;
    object->BoundsLeft = object->BoundsTop = 65535;
    object->BoundsRight = object->BoundsBottom = -65535;
    ProjectObject(*object, Zoom);
    QueueFaces(*object, Target, queue);
  }
  if (QueuedFaces == 0) return;
  SortDrawList(DrawList.data(), QueuedFaces, ZBufferEnabled);
  for (int32_t i = 0; i < QueuedFaces; ++i) {
    if (i % kFacesPerStopCheck == 0 && Stopping()) return;
    const TFaceRec current = *DrawList[i].Face;
    if (current.FillProc) current.FillProc(Target, current);
  }
}

void TSE3D::ReleaseObjects() {
  DrawList.clear();
  FaceBuffer.clear();
  ZBuffer.clear();
  Target.ZBuffer = nullptr;
  Objects.clear();
  QueuedFaces = 0;
}
