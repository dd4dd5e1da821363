#pragma once
// The display as pictures, fonts and the 3D renderer see it: the pixel format, the work and
// background buffers of memory mode, the off-screen surfaces of surface mode, and the
// operations that draw with them. The engine's display adds the screen and its mode.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/SE_Object.h"
#include "graphics/SE_Globals.h"
#include "image/SE_Bitmap24.h"
#include "platform/PL_FrameChanges.h"
#include "platform/PL_Surface.h"

class TGEDisplay : public TGEObject {
 public:
  TGEDisplay() = default;
  ~TGEDisplay() override;
  TGEDisplay(const TGEDisplay&) = delete;
  TGEDisplay& operator=(const TGEDisplay&) = delete;

  // Makes the buffers and surfaces for a Width x Height display of `format`. False (with
  // ErrorText) when memory runs out.
  bool AllocateBuffers(int32_t width, int32_t height, int32_t depth, const TPixelFormat& format);

  // Points DrawTarget at the surface frames are composed on (memory mode: the work buffer).
  bool BeginDraw(bool useWorkBuffer);
  bool EndDraw();
  // Opens any surface for software drawing; the description also becomes DrawTarget.
  bool LockSurface(TPlatformSurface& surface, TSurfaceDesc& desc);
  bool UnlockSurface(TPlatformSurface& surface);

  // An off-screen surface in the display's format whose black pixels are transparent.
  std::unique_ptr<TPlatformSurface> CreateOffscreenSurface(int32_t width, int32_t height,
                                                           bool systemMemory);
  // Fills DrawTarget (surface mode: the surface it describes) with a 32-bit colour: at two
  // bytes per pixel the low half goes to the first pixel of each pair, the high half to the
  // second.
  void Clear(uint32_t color);
  void FillSurface(TPlatformSurface& surface, uint32_t color);
  // Copies a rectangle of the background to the same place of the frame.
  void RestoreRect(int32_t x, int32_t y, int32_t width, int32_t height);

  // Blits onto the surface DrawTarget describes (surface mode): keyed, opaque, scaled.
  void DrawSurface(TPlatformSurface& source, const TRect& sourceRect, const TRect& destRect);
  void PutSurface(TPlatformSurface& source, const TRect& sourceRect, const TRect& destRect);
  void StretchSurface(TPlatformSurface& source, const TRect& sourceRect, const TRect& destRect);
  // The frame being composed, open for direct pixel writes.
  TSurfaceDesc FrameTarget();
  // Cuts both rectangles where the destination leaves the display; false when nothing is left.
  bool ClipRects(TRect& sourceRect, TRect& destRect) const;

  // Copies packed rows to (x, y) of a surface. 8-bit sources are 256 16-bit palette entries
  // followed by one index byte per pixel.
  void CopyPixelsToSurface(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                           int32_t height, int32_t sourceBits, TPlatformSurface& surface);
  // Converts a picture into a packed block in the display's pixel format.
  void ConvertImageToPixels(const TBitmap24& image, uint8_t* buffer) const;

  // Every drawing operation says where it drew: on the frame being composed, that part must
  // reach the screen. Drawing on the back surface in memory mode, where the copy of the work
  // buffer covers it, changes the whole frame; drawing anywhere else changes nothing shown.
  void NoteDrawn(const TSurfaceDesc& target, int64_t left, int64_t top, int64_t right,
                 int64_t bottom);
  // What changed since the frame was last presented.
  TFrameChanges Changes;

  // Ends the process with a display failure: the operation prefix and the description of the
  // result code, in a message box.
  [[noreturn]] void DisplayFatal(const std::string& operation, uint32_t result);

  bool SurfaceMode = false;
  bool SoftwareOnly = true;
  bool Is555 = false;
  bool HasMMX = true;  // vector blends are always there on the processors we build for
  bool Locked = false;
  bool InFrame = false;
  int32_t Depth = 16;
  int32_t BytesPerPixel = 2;
  int32_t LineBytes = 0;
  int32_t RGBBitCount = 16;
  int32_t Width = 0;
  int32_t Height = 0;
  uint32_t CurrentTime = 0;
  TPixelFormat Format;

  std::vector<uint8_t> WorkBuffer;        // memory mode
  std::vector<uint8_t> BackgroundBuffer;  // memory mode
  TSurfaceDesc WorkDesc;
  TSurfaceDesc BackgroundDesc;
  TSurfaceDesc SurfaceDesc;  // the render target's description
  std::unique_ptr<TPlatformSurface> BackSurface;  // the render target: presented every frame
  // Surface mode keeps the background in a surface of its own, so erasing restores it.
  std::unique_ptr<TPlatformSurface> BackgroundSurface;

 protected:
  // The surface that DrawTarget describes in surface mode.
  TPlatformSurface& TargetSurface();
  void BlitOrFail(bool ok, const char* operation);
  void NoteBlit(const TRect& sourceRect, const TRect& destRect);
};

// The description of a surface's pixels.
TSurfaceDesc DescribeSurface(TPlatformSurface& surface);
