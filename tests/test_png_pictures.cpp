// PNG pictures with transparency: alpha becomes the colour key at one threshold, the rest is
// opaque and never mistaken for the key; pictures without alpha keep their colours as they
// are. tests/cli/png.sh draws them through the player.
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <vector>

#include "PictureSamples.h"
#include "image/SE_Picture.h"

namespace {

struct TPixel {
  uint8_t R, G, B, A;
};

std::vector<uint8_t> EncodeRgba(int32_t width, int32_t height, const std::vector<TPixel>& pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::vector<uint8_t> out(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr));
  out.resize(size);
  return out;
}

// Blue, green, red of pixel i of a decoded picture, as red, green, blue.
std::array<int, 3> Rgb(const TBitmap24& picture, size_t i) {
  return {picture.Rows[3 * i + 2], picture.Rows[3 * i + 1], picture.Rows[3 * i]};
}

TEST(PngAlpha, BelowHalfIsTheKeyAndTheRestIsOpaque) {
  const std::vector<TPixel> pixels = {
      {200, 100, 50, 127},  // just transparent
      {200, 100, 50, 128},  // just opaque: its own colour, not blended with black
      {255, 255, 255, 0},   // white, fully transparent
      {0, 0, 0, 255},       // opaque black would be the key: the faintest blue
      {7, 7, 7, 200},       // so would this in 5-5-5
      {7, 7, 8, 255},       // not this: its blue survives any layout
  };
  const std::vector<uint8_t> png = EncodeRgba(3, 2, pixels);
  TBitmap24 picture;
  DecodePicture(png.data(), png.size(), picture);
  ASSERT_EQ(picture.Width, 3);
  ASSERT_EQ(picture.Height, 2);
  using P = std::array<int, 3>;
  EXPECT_EQ(Rgb(picture, 0), (P{0, 0, 0}));
  EXPECT_EQ(Rgb(picture, 1), (P{200, 100, 50}));
  EXPECT_EQ(Rgb(picture, 2), (P{0, 0, 0}));
  EXPECT_EQ(Rgb(picture, 3), (P{0, 0, 8}));
  EXPECT_EQ(Rgb(picture, 4), (P{7, 7, 8}));
  EXPECT_EQ(Rgb(picture, 5), (P{7, 7, 8}));
}

TEST(PngAlpha, PicturesWithoutAlphaKeepTheirBlack) {
  TBitmap24 source;
  source.Width = 2;
  source.Height = 1;
  source.Rows = {0, 0, 0, 10, 20, 30};
  const std::vector<uint8_t> png = EncodePng(source);
  TBitmap24 picture;
  DecodePicture(png.data(), png.size(), picture);
  EXPECT_EQ(picture.Rows, source.Rows);  // black is black: an author's BMP habit, kept
}

}  // namespace
