#pragma once
// What every picture decoder hands back, before the display's pixel format is known.
#include <cstdint>
#include <string>
#include <vector>

// A decoded picture as 24-bit rows of blue, green, red bytes, top row first, no padding.
struct TBitmap24 {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Rows;
  // What the file had wrong that the decoder went past, showing the picture as far as it
  // goes; empty when nothing was. Loaders, which know the file's name, report it.
  std::string Damage;
  const uint8_t* Row(int32_t y) const { return Rows.data() + static_cast<size_t>(y) * Width * 3; }
};
