#include "graphics/SE_Convert.h"

#include <cstddef>
#include <cstring>

namespace {

// Blocks come straight from files and resource entries, so nothing here assumes alignment.
uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, sizeof v); }

uint8_t* RowStart(void* dest, int32_t count, int32_t row, int32_t bytesPerPixel) {
  return static_cast<uint8_t*>(dest) + static_cast<std::ptrdiff_t>(row) * count * bytesPerPixel;
}

// Shared loop of the two 16-bit converters; Pack turns (r, g, b) bytes into one pixel.
template <typename Pack>
void Convert24To16(int32_t count, int32_t row, void* dest, const uint8_t* source, Pack pack) {
  uint8_t* out = RowStart(dest, count, row, 2);
  for (int32_t i = 0; i < count; ++i, source += 3, out += 2)
    Store16(out, pack(source[2], source[1], source[0]));
}

}  // namespace

void Convert565To555(void* block, int32_t byteSize) {
  auto* p = static_cast<uint8_t*>(block);
  for (int32_t i = 0; i < byteSize / 2; ++i, p += 2) {
    const uint16_t v = Load16(p);
    Store16(p, static_cast<uint16_t>(((v & 0xF800) >> 1) | ((v & 0x07C0) >> 1) | (v & 0x001F)));
  }
}

void Convert24To565(int32_t count, int32_t row, void* dest, const uint8_t* source) {
  Convert24To16(count, row, dest, source, [](uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  });
}

void Convert24To555(int32_t count, int32_t row, void* dest, const uint8_t* source) {
  Convert24To16(count, row, dest, source, [](uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
  });
}

void Copy24(int32_t count, int32_t row, void* dest, const uint8_t* source) {
  if (count > 0) std::memcpy(RowStart(dest, count, row, 3), source, static_cast<size_t>(count) * 3);
}

void Convert24To32(int32_t count, int32_t row, void* dest, const uint8_t* source) {
  uint8_t* out = RowStart(dest, count, row, 4);
  for (int32_t i = 0; i < count; ++i, source += 3, out += 4) {
    const uint32_t v = source[0] | (source[1] << 8) | (source[2] << 16);
    std::memcpy(out, &v, sizeof v);
  }
}

void CopyPixels(int32_t byteSize, void* dest, const void* source) {
  if (byteSize >= 4) std::memcpy(dest, source, static_cast<size_t>(byteSize / 4) * 4);
}

TRowConverter RowConverterForDepth(int32_t depth) {
  switch (depth) {
    case 15:
      return Convert24To555;
    case 16:
      return Convert24To565;
    case 24:
      return Copy24;
    case 32:
      return Convert24To32;
    default:
      return nullptr;
  }
}
