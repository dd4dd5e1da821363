#include "graphics/SE_Display.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/SE_DDrawErrors.h"
#include "base/SE_SafeMath.h"
#include "graphics/SE_Convert.h"
#include "platform/PL_Host.h"

namespace {
// Fills a 16-bit target with a colour pair per double word. A contiguous block is filled as
// one run of pairs, as the engine always did; rows with a gap after them are filled one by
// one so nothing past a row is touched. An odd pixel at the end gets the low half.
void FillPairs(const TSurfaceDesc& target, uint32_t color) {
  auto fillRun = [color](uint8_t* start, int64_t pixels) {
    for (int64_t i = 0; i + 1 < pixels; i += 2) std::memcpy(start + i * 2, &color, 4);
    if (pixels % 2) {
      auto low = static_cast<uint16_t>(color);
      std::memcpy(start + (pixels - 1) * 2, &low, 2);
    }
  };
  if (target.Pitch == target.Width * 2) {
    fillRun(target.Pixels, static_cast<int64_t>(target.Width) * target.Height);
    return;
  }
  for (int32_t y = 0; y < target.Height; ++y)
    fillRun(target.Pixels + static_cast<int64_t>(y) * target.Pitch, target.Width);
}

void FillTarget(const TSurfaceDesc& target, uint32_t color) {
  if (!target.Pixels) return;
  int32_t bytes = BytesPerPixelOf(target.Format);
  if (bytes == 2) {
    FillPairs(target, color);
    return;
  }
  for (int32_t y = 0; y < target.Height; ++y) {
    uint8_t* row = target.Pixels + static_cast<int64_t>(y) * target.Pitch;
    for (int32_t x = 0; x < target.Width; ++x) std::memcpy(row + x * bytes, &color, bytes);
  }
}

// Nearest-neighbour scaling in 16.16 steps from the top-left corner of the source. The
// destination is cut at the target's edges; the source positions are those of the whole
// destination rectangle, so a cut changes nothing of what stays visible. Sizes and steps are
// 64-bit: a destination may reach across the whole int32 range.
void StretchPixels(const TSurfaceDesc& source, const TRect& sourceRect, const TRect& destRect,
                   const TSurfaceDesc& target) {
  const int64_t destWidth = int64_t{destRect.Right} - destRect.Left;
  const int64_t destHeight = int64_t{destRect.Bottom} - destRect.Top;
  int32_t bytes = BytesPerPixelOf(target.Format);
  if (bytes != 2 || destWidth <= 0 || destHeight <= 0) return;
  int32_t sourceWidth = std::min(sourceRect.Width(), source.Width);
  int32_t sourceHeight = std::min(sourceRect.Height(), source.Height);
  if (sourceWidth <= 0 || sourceHeight <= 0) return;
  const int64_t stepX = (int64_t{sourceWidth} << 16) / destWidth;
  const int64_t stepY = (int64_t{sourceHeight} << 16) / destHeight;
  int32_t left = std::max(destRect.Left, 0), right = std::min(destRect.Right, target.Width);
  int32_t top = std::max(destRect.Top, 0), bottom = std::min(destRect.Bottom, target.Height);
  for (int32_t y = top; y < bottom; ++y) {
    const int64_t sourceY = ((y - int64_t{destRect.Top}) * stepY) >> 16;
    auto* from = reinterpret_cast<const uint16_t*>(source.Pixels + sourceY * source.Pitch);
    auto* to = reinterpret_cast<uint16_t*>(target.Pixels + static_cast<int64_t>(y) * target.Pitch);
    int64_t sourceX = (left - int64_t{destRect.Left}) * stepX;
    for (int32_t x = left; x < right; ++x, sourceX += stepX) to[x] = from[sourceX >> 16];
  }
}
}  // namespace

TSurfaceDesc DescribeSurface(TPlatformSurface& surface) {
  TSurfaceDesc desc;
  desc.Width = surface.Width();
  desc.Height = surface.Height();
  desc.Pitch = surface.Pitch();
  desc.Pixels = surface.Pixels();
  desc.Format = surface.Format();
  return desc;
}

TGEDisplay::~TGEDisplay() {
  // Nothing may go on drawing into buffers that are gone.
  if (DrawTarget.Pixels == WorkDesc.Pixels || DrawTarget.Pixels == BackgroundDesc.Pixels ||
      DrawTarget.Pixels == SurfaceDesc.Pixels)
    DrawTarget = TSurfaceDesc{};
}

bool TGEDisplay::AllocateBuffers(int32_t width, int32_t height, int32_t depth,
                                 const TPixelFormat& format) {
  Width = width;
  Height = height;
  Depth = depth;
  Format = format;
  BytesPerPixel = BytesPerPixelOf(format);
  LineBytes = Width * BytesPerPixel;
  RGBBitCount = BytesPerPixel * 8;
  Is555 = (depth == 15 || depth == 16) && format.RMask == 0x7C00 && format.GMask == 0x03E0 &&
          format.BMask == 0x001F;
  BackSurface = TPlatformSurface::Create(width, height, format);
  if (!BackSurface) {
    Ready = false;
    ErrorText = std::string("CreateSurface (back): ") + DDErrorDescription(DDResult::kOutOfMemory);
    return false;
  }
  SurfaceDesc = DescribeSurface(*BackSurface);
  DrawTarget = SurfaceDesc;
  Changes.Resize(width, height);
  WorkDesc = BackgroundDesc = TSurfaceDesc{};
  if (SurfaceMode) {
    BackgroundSurface = TPlatformSurface::Create(width, height, format);
    if (!BackgroundSurface) {
      Ready = false;
      ErrorText = std::string("CreateSurface: ") + DDErrorDescription(DDResult::kOutOfMemory);
      return false;
    }
    BackgroundDesc = DescribeSurface(*BackgroundSurface);
    return true;
  }
  try {
    size_t size = static_cast<size_t>(LineBytes) * Height;
    WorkBuffer.assign(size, 0);
    BackgroundBuffer.assign(size, 0);
  } catch (const std::bad_alloc&) {
    Ready = false;
    ErrorText = std::string("CreateSurface: ") + DDErrorDescription(DDResult::kOutOfMemory);
    return false;
  }
  for (auto [desc, buffer] : {std::pair{&WorkDesc, &WorkBuffer}, {&BackgroundDesc, &BackgroundBuffer}}) {
    desc->Width = Width;
    desc->Height = Height;
    desc->Pitch = LineBytes;
    desc->Pixels = buffer->data();
    desc->Format = Format;
  }
  return true;
}

bool TGEDisplay::BeginDraw(bool useWorkBuffer) {
  if (SurfaceMode) return true;
  DrawTarget = useWorkBuffer ? WorkDesc : SurfaceDesc;
  Locked = !useWorkBuffer;
  return true;
}

bool TGEDisplay::EndDraw() {
  Locked = false;
  return true;
}

bool TGEDisplay::LockSurface(TPlatformSurface& surface, TSurfaceDesc& desc) {
  desc = DescribeSurface(surface);
  DrawTarget = desc;
  return true;
}

bool TGEDisplay::UnlockSurface(TPlatformSurface&) { return true; }

std::unique_ptr<TPlatformSurface> TGEDisplay::CreateOffscreenSurface(int32_t width,
                                                                     int32_t height, bool) {
  auto surface = TPlatformSurface::Create(width, height, Format);
  if (!surface) DisplayFatal("Create Offscreen surface: ", DDResult::kOutOfMemory);
  surface->SetBlackColorKey();
  return surface;
}

void TGEDisplay::Clear(uint32_t color) {
  FillTarget(DrawTarget, color);
  NoteDrawn(DrawTarget, 0, 0, DrawTarget.Width, DrawTarget.Height);
}

void TGEDisplay::FillSurface(TPlatformSurface& surface, uint32_t color) {
  const TSurfaceDesc target = DescribeSurface(surface);
  FillTarget(target, color);
  NoteDrawn(target, 0, 0, target.Width, target.Height);
}

void TGEDisplay::NoteDrawn(const TSurfaceDesc& target, int64_t left, int64_t top, int64_t right,
                           int64_t bottom) {
  if (!target.Pixels) return;
  if (target.Pixels == (SurfaceMode ? SurfaceDesc.Pixels : WorkDesc.Pixels))
    Changes.Add(left, top, right, bottom);
  else if (target.Pixels == SurfaceDesc.Pixels)
    Changes.AddAll();
}

void TGEDisplay::RestoreRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  // Objects may sit anywhere in the int32 range: the edges are found in 64 bits, and what
  // survives the cut lies on the screen.
  const int32_t left = static_cast<int32_t>(std::clamp<int64_t>(x, 0, Width));
  const int32_t top = static_cast<int32_t>(std::clamp<int64_t>(y, 0, Height));
  const int32_t right = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x} + width, 0, Width));
  const int32_t bottom = static_cast<int32_t>(std::clamp<int64_t>(int64_t{y} + height, 0, Height));
  if (left >= right || top >= bottom) return;
  Changes.Add(left, top, right, bottom);
  if (SurfaceMode) {
    BackSurface->Blit(*BackgroundSurface, TRect{left, top, right, bottom}, left, top, false);
    return;
  }
  for (int32_t row = top; row < bottom; ++row) {
    size_t offset =
        static_cast<size_t>(row) * LineBytes + static_cast<size_t>(left) * BytesPerPixel;
    std::memcpy(WorkBuffer.data() + offset, BackgroundBuffer.data() + offset,
                static_cast<size_t>(right - left) * BytesPerPixel);
  }
}

TPlatformSurface& TGEDisplay::TargetSurface() {
  if (BackgroundSurface && DrawTarget.Pixels == BackgroundSurface->Pixels())
    return *BackgroundSurface;
  return *BackSurface;
}

TSurfaceDesc TGEDisplay::FrameTarget() {
  return SurfaceMode ? DescribeSurface(TargetSurface()) : DrawTarget;
}

void TGEDisplay::BlitOrFail(bool ok, const char* operation) {
  if (!ok) DisplayFatal(operation, DDResult::kGeneric);
}

// An unscaled blit covers the source's size at the destination's corner.
void TGEDisplay::NoteBlit(const TRect& sourceRect, const TRect& destRect) {
  NoteDrawn(DescribeSurface(TargetSurface()), destRect.Left, destRect.Top,
            int64_t{destRect.Left} + sourceRect.Width(),
            int64_t{destRect.Top} + sourceRect.Height());
}

void TGEDisplay::DrawSurface(TPlatformSurface& source, const TRect& sourceRect,
                             const TRect& destRect) {
  NoteBlit(sourceRect, destRect);
  BlitOrFail(TargetSurface().Blit(source, sourceRect, destRect.Left, destRect.Top, true),
             "DrawSurface: ");
}

void TGEDisplay::PutSurface(TPlatformSurface& source, const TRect& sourceRect,
                            const TRect& destRect) {
  NoteBlit(sourceRect, destRect);
  BlitOrFail(TargetSurface().Blit(source, sourceRect, destRect.Left, destRect.Top, false),
             "PutSurface: ");
}

void TGEDisplay::StretchSurface(TPlatformSurface& source, const TRect& sourceRect,
                                const TRect& destRect) {
  if (SurfaceMode) {
    NoteDrawn(DescribeSurface(TargetSurface()), destRect.Left, destRect.Top, destRect.Right,
              destRect.Bottom);
    BlitOrFail(TargetSurface().BlitScaled(source, sourceRect, destRect), "StretchSurface: ");
    return;
  }
  TSurfaceDesc sourceDesc;
  LockSurface(source, sourceDesc);
  DrawTarget = WorkDesc;
  NoteDrawn(WorkDesc, destRect.Left, destRect.Top, destRect.Right, destRect.Bottom);
  StretchPixels(sourceDesc, sourceRect, destRect, WorkDesc);
}

bool TGEDisplay::ClipRects(TRect& sourceRect, TRect& destRect) const {
  if (destRect.Left > Width || destRect.Right < 0 || destRect.Top > Height || destRect.Bottom < 0)
    return false;
  // A source edge moved past the int32 range stays at its end, where the source rectangle
  // comes out empty, as it would have been without the limit.
  if (destRect.Left < 0) sourceRect.Left = SaturatedSub(sourceRect.Left, destRect.Left);
  if (destRect.Top < 0) sourceRect.Top = SaturatedSub(sourceRect.Top, destRect.Top);
  if (destRect.Right > Width)
    sourceRect.Right = SaturatedSub(sourceRect.Right, destRect.Right - Width);
  if (destRect.Bottom > Height)
    sourceRect.Bottom = SaturatedSub(sourceRect.Bottom, destRect.Bottom - Height);
  destRect = TRect{std::max(destRect.Left, 0), std::max(destRect.Top, 0),
                   std::min(destRect.Right, Width), std::min(destRect.Bottom, Height)};
  return sourceRect.Width() > 0 && sourceRect.Height() > 0 && destRect.Width() > 0 &&
         destRect.Height() > 0;
}

void TGEDisplay::CopyPixelsToSurface(const uint8_t* source, int32_t x, int32_t y, int32_t width,
                                     int32_t height, int32_t sourceBits,
                                     TPlatformSurface& surface) {
  TSurfaceDesc desc;
  desc = DescribeSurface(surface);  // loading must not move DrawTarget
  int32_t bytes = BytesPerPixelOf(desc.Format);
  bool palette = sourceBits == 8;
  if (!palette && (sourceBits + 7) / 8 != bytes) return;  // the block is not in this format
  if (palette && bytes != 2) return;
  const uint8_t* paletteEntries = source;
  const uint8_t* pixels = palette ? source + 512 : source;
  const int64_t sourceStride = palette ? width : int64_t{width} * bytes;
  // Only the part that lies on the surface is written; in 64 bits, since the corner may be
  // anywhere in the int32 range.
  const int64_t left = std::max<int64_t>(0, -int64_t{x}), top = std::max<int64_t>(0, -int64_t{y});
  const int64_t right = std::min<int64_t>(width, int64_t{desc.Width} - x);
  const int64_t bottom = std::min<int64_t>(height, int64_t{desc.Height} - y);
  if (left >= right) return;  // wholly beside the surface: no row has anything to copy
  for (int64_t row = top; row < bottom; ++row) {
    const uint8_t* from = pixels + row * sourceStride;
    uint8_t* to = desc.Pixels + (y + row) * desc.Pitch;
    if (!palette) {
      std::memcpy(to + (x + left) * bytes, from + left * bytes,
                  static_cast<size_t>(right - left) * bytes);
      continue;
    }
    for (int64_t col = left; col < right; ++col)
      std::memcpy(to + (x + col) * 2, paletteEntries + from[col] * 2, 2);
  }
}

void TGEDisplay::ConvertImageToPixels(const TBitmap24& image, uint8_t* buffer) const {
  TRowConverter convert = (Is555 && Depth == 16) ? Convert24To555 : RowConverterForDepth(Depth);
  if (!convert) return;
  for (int32_t y = 0; y < image.Height; ++y) convert(image.Width, y, buffer, image.Row(y));
}

void TGEDisplay::DisplayFatal(const std::string& operation, uint32_t result) {
  std::string message = operation + DDErrorDescription(result);
  ErrorText = message;
  Ready = false;
  DebugOutput(message);
  Host().ShowMessage("", message);
  EndProcess(1, message);
}
