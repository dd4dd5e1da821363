#include "engine/SE_DDraw.h"

#include <cstring>
#include <string>

#include "base/SE_DDrawErrors.h"
#include "engine/SE_Font.h"
#include "image/SE_PngWriter.h"
#include "platform/PL_Host.h"

namespace {
// The largest screens made today are 8K ones: 7680x4320, and 8192x4320 for cinema, either
// way up. A display larger than that shows on no screen, and its buffers would take gigabytes;
// at 8192 a side a buffer takes at most 256 MiB, as the largest picture does.
constexpr int32_t kLargestSide = 8192;
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
  if (width > kLargestSide || height > kLargestSide)
    DebugOutput("display: " + std::to_string(width) + "x" + std::to_string(height) +
                " is larger than a screen shows; at most " + std::to_string(kLargestSide) + "x" +
                std::to_string(kLargestSide));
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
  Notice.Stamp(*BackSurface, Changes);
  Host().Present(*BackSurface, waitRetrace, Changes);
  Notice.Unstamp(*BackSurface);
  Changes.Reset();
}

bool TGEDDraw::WriteShownPng(const std::string& path, std::string& error) {
  // A copy, so what the screen is owed when the band goes stays owed.
  TNoticeBand band = Notice;
  TFrameChanges unused;
  band.Stamp(*BackSurface, unused);
  const bool written = WritePng(path, *BackSurface, error);
  band.Unstamp(*BackSurface);
  return written;
}

void TGEDDraw::TextOut(int32_t x, int32_t y, const std::string& text, uint32_t color) {
  if (!TextFont) return;
  TextFont->SolidTextOut(x, y, text,
                         PackRgb(Format, color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
}
