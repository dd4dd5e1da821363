#pragma once
// What every picture decoder hands back, before the display's pixel format is known.
#include <cstdint>
#include <vector>

// A decoded picture as 24-bit rows of blue, green, red bytes, top row first, no padding.
struct TBitmap24 {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Rows;
  const uint8_t* Row(int32_t y) const { return Rows.data() + static_cast<size_t>(y) * Width * 3; }
};
