#include "engine/SE_DDraw.h"

#include <cstring>

#include "base/SE_DDrawErrors.h"
#include "engine/SE_Font.h"
#include "platform/PL_Host.h"

namespace {
constexpr int32_t kLargestSide = 16384;
}

TGEDDraw::TGEDDraw(bool windowed, bool hardware, bool flip)
    : Windowed(windowed), Flip(flip) {
  SoftwareOnly = !hardware;
  SetWaitRetrace(false);
  SurfaceMode = !SoftwareOnly && CanBlit && CanColorKey;
}

bool TGEDDraw::SetMode(int32_t width, int32_t height, int32_t bitDepth, bool flip, bool rgb555) {
  Flip = Windowed ? false : flip;
  bool depthOk = bitDepth == 15 || bitDepth == 16 || bitDepth == 24 || bitDepth == 32;
  if (!depthOk || width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide)
    DisplayFatal("SetDisplayMode: ", DDResult::kInvalidMode);
  if (!AllocateBuffers(width, height, bitDepth, PixelFormatForDepth(bitDepth, rgb555)))
    return false;
  return Ready;
}

void TGEDDraw::SetWaitRetrace(bool on) {
  WaitRetrace = on;
  FlipFlags = on ? 1 : 9;
}

// Only what was drawn since the last frame is copied: the back surface holds the rest.
void TGEDDraw::CopyWorkBuffer() {
  BeginDraw(false);
  if (!SurfaceMode && !WorkBuffer.empty()) {
    for (const TRect& rect : Changes.List()) {
      const size_t bytes = static_cast<size_t>(rect.Width()) * BytesPerPixel;
      for (int64_t y = rect.Top; y < rect.Bottom; ++y)
        std::memcpy(SurfaceDesc.Pixels + y * SurfaceDesc.Pitch + int64_t{rect.Left} * BytesPerPixel,
                    WorkBuffer.data() + y * LineBytes + int64_t{rect.Left} * BytesPerPixel, bytes);
    }
  }
  EndDraw();
}

void TGEDDraw::FlipSurface() { PresentChanges(FlipFlags == 1); }

// A window is never synchronised with the retrace, as a blit to it never was.
void TGEDDraw::BlitToWindow() { PresentChanges(false); }

void TGEDDraw::PresentChanges(bool waitRetrace) {
  Host().Present(*BackSurface, waitRetrace, Changes);
  Changes.Reset();
}

void TGEDDraw::TextOut(int32_t x, int32_t y, const std::string& text, uint32_t color) {
  if (!TextFont) return;
  TextFont->SolidTextOut(x, y, text,
                         PackRgb(Format, color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
}
