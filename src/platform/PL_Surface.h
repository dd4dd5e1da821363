#pragma once
// Off-screen pixel surfaces with a colour key, filled and blitted by SDL's own blitters: the
// display's surface mode draws pictures with them, and the present step reads them.
#include <algorithm>
#include <cstdint>
#include <memory>

struct TPixelFormat {
  int32_t BitCount = 0;  // 15/16 (two bytes per pixel), 24 or 32
  uint32_t RMask = 0, GMask = 0, BMask = 0;
};

TPixelFormat PixelFormatForDepth(int32_t depth, bool rgb555);
int32_t BytesPerPixelOf(const TPixelFormat& format);
// The SDL pixel format value of `format` (for the platform's own SDL code).
uint32_t SdlPixelFormatOf(const TPixelFormat& format);
// A colour of 8 bits per channel as a pixel of `format` (the top bits of each channel).
uint32_t PackRgb(const TPixelFormat& format, uint8_t red, uint8_t green, uint8_t blue);
// A pixel of `format` as 8 bits per channel, each widened by repeating its top bits, as the
// PNG writer widens them (so a frame on a page and in a PNG file agree to the bit).
struct TRgb8 {
  uint8_t Red = 0, Green = 0, Blue = 0;
};
TRgb8 UnpackRgb(const TPixelFormat& format, uint32_t pixel);

// Rectangles as (Left, Top, Right, Bottom) with Right and Bottom exclusive. Edges may lie
// anywhere in the int32 range; a size beyond it is given as the nearest int32.
struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  int32_t Width() const { return Span(Left, Right); }
  int32_t Height() const { return Span(Top, Bottom); }

 private:
  static int32_t Span(int32_t from, int32_t to) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{to} - from, INT32_MIN, INT32_MAX));
  }
};

class TPlatformSurface {
 public:
  // nullptr when the surface cannot be made (size or memory).
  static std::unique_ptr<TPlatformSurface> Create(int32_t width, int32_t height,
                                                  const TPixelFormat& format);
  ~TPlatformSurface();
  TPlatformSurface(const TPlatformSurface&) = delete;
  TPlatformSurface& operator=(const TPlatformSurface&) = delete;

  int32_t Width() const;
  int32_t Height() const;
  int32_t Pitch() const;
  uint8_t* Pixels();
  const TPixelFormat& Format() const { return PixelFormat; }

  // Black (pixel value 0) is transparent in keyed blits from this surface.
  void SetBlackColorKey();
  // Fills the rectangle (the whole surface when null) with a raw pixel value.
  bool Fill(const TRect* rect, uint32_t pixel);
  // Copies a rectangle of `source` to (x, y), keyed or opaque, clipped to this surface.
  bool Blit(TPlatformSurface& source, const TRect& sourceRect, int32_t x, int32_t y, bool keyed);
  // Scales a rectangle of `source` into `destRect` (nearest neighbour), opaque.
  bool BlitScaled(TPlatformSurface& source, const TRect& sourceRect, const TRect& destRect);

 private:
  TPlatformSurface() = default;
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
  TPixelFormat PixelFormat;
};
