#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/SE_Convert.h"

namespace {

uint16_t Read16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

TEST(Convert, WorkedValues) {
  uint16_t block[2] = {0xFFFF, 0x07E0};
  Convert565To555(block, sizeof block);
  EXPECT_EQ(block[0], 0x7FFF);
  EXPECT_EQ(block[1], 0x03E0);

  const uint8_t bgr[] = {255, 255, 255, 8, 4, 8};  // white, then (R, G, B) = (8, 4, 8)
  uint16_t out[2];
  Convert24To565(2, 0, out, bgr);
  EXPECT_EQ(out[0], 0xFFFF);
  EXPECT_EQ(out[1], 0x0821);
}

// Every 5-6-5 value keeps red and blue and the top five bits of green, at any alignment.
TEST(Convert, Convert565To555AllValuesUnaligned) {
  std::vector<uint8_t> bytes(1 + 65536 * 2 + 1, 0xA5);
  for (uint32_t p = 0; p < 65536; ++p) std::memcpy(&bytes[1 + p * 2], &p, 2);
  Convert565To555(&bytes[1], 65536 * 2);
  for (uint32_t p = 0; p < 65536; ++p) {
    const uint32_t red = p >> 11, green = (p >> 5) & 63, blue = p & 31;
    ASSERT_EQ(Read16(&bytes[1 + p * 2]), (red << 10) | ((green >> 1) << 5) | blue) << p;
  }
  EXPECT_EQ(bytes.front(), 0xA5);
  EXPECT_EQ(bytes.back(), 0xA5);
}

TEST(Convert, SizesThatLeaveBytesAlone) {
  for (int32_t size : {-4, 0, 1, 5}) {
    std::vector<uint8_t> bytes(6, 0xFF);
    Convert565To555(bytes.data(), size);
    const size_t converted = size >= 2 ? size / 2 * 2 : 0;
    for (size_t i = 0; i < bytes.size(); ++i)
      EXPECT_EQ(bytes[i], i < converted && i % 2 == 1 ? 0x7F : 0xFF) << size << " byte " << i;
  }
  for (int32_t size : {-8, 0, 3, 10}) {
    std::vector<uint8_t> dest(12, 0), source(12, 0xEE);
    CopyPixels(size, dest.data(), source.data());
    const size_t copied = size >= 4 ? size / 4 * 4 : 0;
    for (size_t i = 0; i < dest.size(); ++i)
      EXPECT_EQ(dest[i], i < copied ? 0xEE : 0) << size << " byte " << i;
  }
}

// Each converter writes exactly its row of a block `count` pixels wide, channel by channel.
TEST(Convert, RowConvertersFillTheirRowOnly) {
  struct TExpect {
    int32_t Depth, Bytes;
    uint32_t (*Pixel)(uint32_t r, uint32_t g, uint32_t b);
  };
  const TExpect expectations[] = {
      {15, 2,
       [](uint32_t r, uint32_t g, uint32_t b) { return (r / 8) << 10 | (g / 8) << 5 | b / 8; }},
      {16, 2,
       [](uint32_t r, uint32_t g, uint32_t b) { return (r / 8) << 11 | (g / 4) << 5 | b / 8; }},
      {24, 3, [](uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }},
      {32, 4, [](uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }},
  };
  for (const auto& e : expectations) {
    const TRowConverter convert = RowConverterForDepth(e.Depth);
    ASSERT_NE(convert, nullptr) << e.Depth;
    for (int32_t count : {1, 2, 3, 7, 64}) {
      const auto source = RandomBytes(count * 3, count);
      const int32_t rowBytes = count * e.Bytes, row = 2;
      std::vector<uint8_t> block(rowBytes * 4, 0xCD);
      convert(count, row, block.data(), source.data());
      for (int32_t i = 0; i < rowBytes * 4; ++i) {
        if (i / rowBytes == row) continue;
        ASSERT_EQ(block[i], 0xCD) << e.Depth << " count " << count << " byte " << i;
      }
      for (int32_t x = 0; x < count; ++x) {
        uint32_t got = 0;
        std::memcpy(&got, &block[row * rowBytes + x * e.Bytes], e.Bytes);
        const uint8_t* bgr = &source[x * 3];
        ASSERT_EQ(got, e.Pixel(bgr[2], bgr[1], bgr[0])) << e.Depth << " pixel " << x;
      }
    }
  }
  EXPECT_EQ(RowConverterForDepth(8), nullptr);
}

}  // namespace
