#pragma once
// The 3D scene: every software-rendered object of a presentation, loaded from the compact
// object file (or a resource entry) with its textures, rotated, projected, ordered by depth
// and drawn by the fillers into the frame being composed. Angles are hundredths of a degree.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render3d/SE_3DModel.h"

// The parameters of LoadObject, in its documented order.
struct T3DLoadRequest {
  std::string ResFile;     // empty: the names below are file paths (code page 1250)
  std::string ObjectName;  // a file, or an entry of ResFile
  std::string Texture1, Texture2;
  bool Convert555 = false;  // textures of a resource file are turned from 5-6-5 to 5-5-5
  int32_t Mapping = 2;      // 0..27; others generate no coordinates
  int32_t RenderMode = 0;   // 0..5; others draw nothing
  int32_t ScreenX = 0, ScreenY = 0;
  long double ScaleX = 1, ScaleY = 1, ScaleZ = 1;
  bool ShowInvisibleFaces = false;
};

class TSE3D {
 public:
  // A scene drawing into frames of width x height at bitsPerPixel (15 or 16; other depths
  // get no textures and draw nothing), clipped to the inclusive rectangle.
  TSE3D(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t clipTop, int32_t clipBottom,
        int32_t clipLeft, int32_t clipRight);
  ~TSE3D();
  TSE3D(const TSE3D&) = delete;
  TSE3D& operator=(const TSE3D&) = delete;

  // Loads, checks and appends an object. A file or entry that cannot be read, or data that
  // is shorter than its counts or names a vertex outside 1..V, throws T3DObjectError with a
  // message naming it; nothing is added then.
  std::shared_ptr<T3DObject> LoadObject(const T3DLoadRequest& request);
  // Sizes the draw buffers for every object loaded so far; with a z-buffer, switches their
  // fill routines to the depth-tested ones and orders faces nearest first.
  void Prepare(bool useZBuffer);
  // Draws every visible object into the frame (16-bit pixels, `pitch` pixels a row, at least
  // the scene's width x height) and updates each drawn object's bounds. Between objects and
  // every few faces it asks StopRequested, and returns at once when that says yes: the frame
  // is then left part drawn, for a caller that will not show it.
  void RenderAll(uint16_t* frame, int32_t pitch);
  // Frees the draw buffers and the scene's hold on its objects.
  void ReleaseObjects();

  int32_t Count() const { return static_cast<int32_t>(Objects.size()); }

  std::vector<std::shared_ptr<T3DObject>> Objects;  // in load order
  int32_t TotalFaces = 0, TotalVertices = 0;
  std::vector<TDrawEntry> DrawList;
  std::vector<TFaceRec> FaceBuffer;
  int32_t QueuedFaces = 0;
  bool ZBufferEnabled = false;
  std::vector<int16_t> ZBuffer;
  int32_t Zoom = 200;
  int32_t Width = 0, Height = 0, BitsPerPixel = 16;
  TFillTarget Target;  // clip rectangle, masks and depth buffer of the fillers
  // Whether to give up the frame being drawn; asked often, so it must be cheap. A scene of
  // many large faces can take seconds a frame, and the user who closes the window then must
  // not wait for it.
  std::function<bool()> StopRequested;

 private:
  bool Stopping() const { return StopRequested && StopRequested(); }
};

// Render mode 0..5 as its internal render code.
int32_t RenderCodeOfMode(int32_t renderMode);
