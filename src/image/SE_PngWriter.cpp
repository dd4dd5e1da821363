#include "image/SE_PngWriter.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
// Widens a channel of `bits` bits to 8 by bit replication.
uint8_t Widen(uint32_t value, int bits) {
  if (bits == 5) return static_cast<uint8_t>((value << 3) | (value >> 2));
  if (bits == 6) return static_cast<uint8_t>((value << 2) | (value >> 4));
  return static_cast<uint8_t>(value);
}

int ShiftOf(uint32_t mask) { return mask ? __builtin_ctz(mask) : 0; }
int BitsOf(uint32_t mask) { return __builtin_popcount(mask); }

std::vector<uint8_t> ToRgb(TPlatformSurface& surface) {
  const TPixelFormat& f = surface.Format();
  int32_t bytes = BytesPerPixelOf(f);
  std::vector<uint8_t> rgb(static_cast<size_t>(surface.Width()) * surface.Height() * 3);
  uint8_t* out = rgb.data();
  for (int32_t y = 0; y < surface.Height(); ++y) {
    const uint8_t* row = surface.Pixels() + static_cast<int64_t>(y) * surface.Pitch();
    for (int32_t x = 0; x < surface.Width(); ++x, out += 3) {
      uint32_t p = 0;
      std::memcpy(&p, row + x * bytes, bytes);
      out[0] = Widen((p & f.RMask) >> ShiftOf(f.RMask), BitsOf(f.RMask));
      out[1] = Widen((p & f.GMask) >> ShiftOf(f.GMask), BitsOf(f.GMask));
      out[2] = Widen((p & f.BMask) >> ShiftOf(f.BMask), BitsOf(f.BMask));
    }
  }
  return rgb;
}

bool WriteRows(const std::string& path, int32_t width, int32_t height, const uint8_t* rows,
               bool bgr, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    error = path + ": PNG encoding failed";
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (bgr) png_set_bgr(png);
  for (int32_t y = 0; y < height; ++y)
    png_write_row(png, rows + static_cast<size_t>(y) * width * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  bool ok = std::fclose(file) == 0;
  if (!ok) error = path + ": " + std::strerror(errno);
  return ok;
}
}  // namespace

bool WritePng(const std::string& path, TPlatformSurface& surface, std::string& error) {
  const std::vector<uint8_t> rgb = ToRgb(surface);
  return WriteRows(path, surface.Width(), surface.Height(), rgb.data(), false, error);
}

bool WritePngBgr(const std::string& path, int32_t width, int32_t height, const uint8_t* bgr,
                 std::string& error) {
  return WriteRows(path, width, height, bgr, true, error);
}
