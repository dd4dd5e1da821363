#pragma once
// Picture files made in the tests: BMP files written field by field, JPEG files written and
// read by libjpeg itself, so the decoders are checked against independent writers.
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/SE_Display.h"

using TBgr = std::array<uint8_t, 3>;
TBgr PixelAt(const TBitmap24& picture, int32_t x, int32_t y);
// A smooth pattern with a different value in every channel.
TBitmap24 MakePattern(int32_t width, int32_t height);

struct TBmpFile {
  TBmpFile(int32_t width, int32_t height, uint16_t bits = 24, bool topDown = false,
           uint32_t compression = 0, uint32_t headerSize = 40)
      : Width(width),
        Height(height),
        TopDown(topDown),
        Bits(bits),
        Compression(compression),
        HeaderSize(headerSize) {}
  int32_t Width = 0, Height = 0;
  bool TopDown = false;
  uint16_t Bits = 24;
  uint32_t Compression = 0, HeaderSize = 40;  // 12: OS/2 core header, 3-byte palette entries
  std::vector<uint32_t> Masks;                // after a 40-byte header, else inside it
  std::vector<TBgr> Palette;
  uint32_t ColorsUsed = 0, SizeImage = 0;
  std::vector<uint8_t> Pixels;  // as stored
};
std::vector<uint8_t> WriteBmp(const TBmpFile& bmp);
// An 8-bit run-length BMP of 1 080 bytes that claims width x height pixels: its data ends the
// bitmap at once, which leaves every pixel black.
std::vector<uint8_t> ClaimingRleBmp(int32_t width, int32_t height);
// Rows of `bits`-bit values padded to 4 bytes, in stored order; value(x, y) with y = 0 on top.
std::vector<uint8_t> PackRows(int32_t width, int32_t height, int bits, bool topDown,
                              const std::function<uint32_t(int32_t, int32_t)>& value);

struct TJpegOptions {
  int Quality = 92;
  bool Progressive = false, Gray = false;
};
std::vector<uint8_t> EncodeJpeg(const TBitmap24& picture, const TJpegOptions& options = {});
// One colour in four channels, stored as given; libjpeg adds an Adobe marker if asked.
std::vector<uint8_t> EncodeCmykJpeg(std::array<uint8_t, 4> stored, bool adobeMarker);
// libjpeg's own decode to RGB, turned into blue, green, red rows for comparison.
TBitmap24 ReferenceJpegDecode(const std::vector<uint8_t>& jpeg);
// libpng's own encoding of a picture.
std::vector<uint8_t> EncodePng(const TBitmap24& picture);
// libpng's encoding of a 16-bit pattern in a colour type (PNG_COLOR_TYPE_GRAY, _GRAY_ALPHA,
// _RGB, _RGB_ALPHA), with or without Adam7 interlacing; the pattern depends on the size only.
std::vector<uint8_t> EncodePng16(int32_t width, int32_t height, int colourType, bool interlaced);

// The same file with another size in its header (a baseline JPEG's frame, a PNG's IHDR with
// its checksum); the data stays as it was.
std::vector<uint8_t> WithJpegSize(std::vector<uint8_t> jpeg, int32_t width, int32_t height);
std::vector<uint8_t> WithPngSize(std::vector<uint8_t> png, uint32_t width, uint32_t height);
