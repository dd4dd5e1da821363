#pragma once
// Scripts may place and size things anywhere in the int32 range, so sums of positions and sizes
// must not overflow. These clamp instead: a position pushed past the edge of the range stays at
// the edge, which is far off every screen, and values in range come out exactly as before.
#include <cstdint>
#include <limits>

constexpr int32_t ClampToInt32(int64_t value) {
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value < kLow ? kLow : value > kHigh ? kHigh : value);
}

constexpr int32_t SaturatedAdd(int32_t a, int32_t b) {
  return ClampToInt32(static_cast<int64_t>(a) + b);
}

constexpr int32_t SaturatedSub(int32_t a, int32_t b) {
  return ClampToInt32(static_cast<int64_t>(a) - b);
}
