#include "platform/PL_Surface.h"

#include <SDL.h>

#include <algorithm>

struct TPlatformSurface::TImpl {
  SDL_Surface* Surface = nullptr;
  bool Keyed = false;
};

namespace {
SDL_Rect ToSdl(const TRect& r) { return SDL_Rect{r.Left, r.Top, r.Width(), r.Height()}; }

// A rectangle reaching across the int32 range has no SDL_Rect (its size does not fit an int),
// so what SDL is handed is cut first, in 64 bits, to what lies on the surfaces.

// One axis of a copy of `length` pixels from `source` to `dest`, cut to [0, sourceSize) and
// [0, destSize); false when nothing is left.
bool TrimAxis(int64_t& source, int64_t& dest, int64_t& length, int64_t sourceSize,
              int64_t destSize) {
  const int64_t cut = std::max({int64_t{0}, -source, -dest});
  source += cut;
  dest += cut;
  length = std::min({length - cut, sourceSize - source, destSize - dest});
  return length > 0;
}

// The part of `r` on a surface of `width` x `height`; false when nothing is left.
bool OnSurface(const TRect& r, int32_t width, int32_t height, SDL_Rect& cut) {
  const int32_t left = std::max(r.Left, 0), top = std::max(r.Top, 0);
  const int32_t right = std::min(r.Right, width), bottom = std::min(r.Bottom, height);
  if (left >= right || top >= bottom) return false;
  cut = SDL_Rect{left, top, right - left, bottom - top};
  return true;
}

}  // namespace

uint32_t SdlPixelFormatOf(const TPixelFormat& format) {
  switch (format.BitCount) {
    case 15:
      return SDL_PIXELFORMAT_RGB555;
    case 16:
      return format.GMask == 0x03E0 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565;
    case 24:
      return SDL_PIXELFORMAT_BGR24;  // bytes blue, green, red in memory
    case 32:
      return SDL_PIXELFORMAT_RGB888;
    default:
      return SDL_PIXELFORMAT_UNKNOWN;
  }
}

uint32_t PackRgb(const TPixelFormat& format, uint8_t red, uint8_t green, uint8_t blue) {
  const auto channel = [](uint32_t mask, uint32_t value) -> uint32_t {
    if (mask == 0) return 0;
    const int shift = __builtin_ctz(mask), bits = __builtin_popcount(mask);
    return (bits >= 8 ? value << (bits - 8) : value >> (8 - bits)) << shift & mask;
  };
  return channel(format.RMask, red) | channel(format.GMask, green) | channel(format.BMask, blue);
}

TRgb8 UnpackRgb(const TPixelFormat& format, uint32_t pixel) {
  const auto channel = [pixel](uint32_t mask) -> uint8_t {
    if (mask == 0) return 0;
    const int bits = __builtin_popcount(mask);
    const uint32_t value = (pixel & mask) >> __builtin_ctz(mask);
    if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
    uint32_t wide = 0;
    int filled = 0;
    for (; filled < 8; filled += bits) wide = wide << bits | value;
    return static_cast<uint8_t>(wide >> (filled - 8));
  };
  return {channel(format.RMask), channel(format.GMask), channel(format.BMask)};
}

TPixelFormat PixelFormatForDepth(int32_t depth, bool rgb555) {
  switch (depth) {
    case 15:
      return {15, 0x7C00, 0x03E0, 0x001F};
    case 16:
      return rgb555 ? TPixelFormat{16, 0x7C00, 0x03E0, 0x001F}
                    : TPixelFormat{16, 0xF800, 0x07E0, 0x001F};
    case 24:
      return {24, 0xFF0000, 0xFF00, 0xFF};
    case 32:
      return {32, 0xFF0000, 0xFF00, 0xFF};
    default:
      return {};
  }
}

int32_t BytesPerPixelOf(const TPixelFormat& format) {
  return format.BitCount == 15 ? 2 : format.BitCount / 8;
}

std::unique_ptr<TPlatformSurface> TPlatformSurface::Create(int32_t width, int32_t height,
                                                           const TPixelFormat& format) {
  uint32_t sdlFormat = SdlPixelFormatOf(format);
  if (width <= 0 || height <= 0 || sdlFormat == SDL_PIXELFORMAT_UNKNOWN) return nullptr;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 0, sdlFormat);
  if (!surface) return nullptr;
  std::unique_ptr<TPlatformSurface> result(new TPlatformSurface());
  result->Impl = std::make_unique<TImpl>();
  result->Impl->Surface = surface;
  result->PixelFormat = format;
  SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_NONE);
  return result;
}

TPlatformSurface::~TPlatformSurface() {
  if (Impl) SDL_FreeSurface(Impl->Surface);
}

int32_t TPlatformSurface::Width() const { return Impl->Surface->w; }
int32_t TPlatformSurface::Height() const { return Impl->Surface->h; }
int32_t TPlatformSurface::Pitch() const { return Impl->Surface->pitch; }
uint8_t* TPlatformSurface::Pixels() { return static_cast<uint8_t*>(Impl->Surface->pixels); }

void TPlatformSurface::SetBlackColorKey() {
  SDL_SetColorKey(Impl->Surface, SDL_TRUE, 0);
  Impl->Keyed = true;
}

bool TPlatformSurface::Fill(const TRect* rect, uint32_t pixel) {
  SDL_Rect r;
  if (rect && !OnSurface(*rect, Width(), Height(), r)) return true;
  return SDL_FillRect(Impl->Surface, rect ? &r : nullptr, pixel) == 0;
}

bool TPlatformSurface::Blit(TPlatformSurface& source, const TRect& sourceRect, int32_t x,
                            int32_t y, bool keyed) {
  int64_t sourceX = sourceRect.Left, sourceY = sourceRect.Top, destX = x, destY = y;
  int64_t columns = int64_t{sourceRect.Right} - sourceRect.Left;
  int64_t rows = int64_t{sourceRect.Bottom} - sourceRect.Top;
  if (!TrimAxis(sourceX, destX, columns, source.Width(), Width()) ||
      !TrimAxis(sourceY, destY, rows, source.Height(), Height()))
    return true;  // nothing of it lands on this surface
  SDL_Surface* src = source.Impl->Surface;
  // The key is a property of the SDL surface; switch it for this blit only when asked.
  bool restoreKey = source.Impl->Keyed && !keyed;
  if (keyed && !source.Impl->Keyed) SDL_SetColorKey(src, SDL_TRUE, 0);
  if (restoreKey) SDL_SetColorKey(src, SDL_FALSE, 0);
  SDL_Rect s{static_cast<int>(sourceX), static_cast<int>(sourceY), static_cast<int>(columns),
             static_cast<int>(rows)};
  SDL_Rect d{static_cast<int>(destX), static_cast<int>(destY), 0, 0};
  bool ok = SDL_BlitSurface(src, &s, Impl->Surface, &d) == 0;
  if (keyed && !source.Impl->Keyed) SDL_SetColorKey(src, SDL_FALSE, 0);
  if (restoreKey) SDL_SetColorKey(src, SDL_TRUE, 0);
  return ok;
}

bool TPlatformSurface::BlitScaled(TPlatformSurface& source, const TRect& sourceRect,
                                  const TRect& destRect) {
  // SDL scales what meets the target; one that misses it is not handed over at all.
  SDL_Rect visible;
  if (!OnSurface(destRect, Width(), Height(), visible)) return true;
  SDL_Surface* src = source.Impl->Surface;
  if (source.Impl->Keyed) SDL_SetColorKey(src, SDL_FALSE, 0);
  SDL_Rect s = ToSdl(sourceRect), d = ToSdl(destRect);
  bool ok = SDL_BlitScaled(src, &s, Impl->Surface, &d) == 0;
  if (source.Impl->Keyed) SDL_SetColorKey(src, SDL_TRUE, 0);
  return ok;
}
