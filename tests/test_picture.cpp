#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <fstream>

#include "HeapCounter.h"
#include "PictureSamples.h"
#include "TestSupport.h"
#include "base/SE_Log.h"
#include "image/SE_Picture.h"

namespace {

const std::vector<TBgr> kColours = {{0, 0, 0},    {10, 20, 200}, {30, 180, 40},   {250, 60, 70},
                                    {90, 90, 90}, {1, 2, 3},     {200, 210, 220}, {5, 250, 128}};
const TBgr kBlack{0, 0, 0};

TBitmap24 Decode(const std::vector<uint8_t>& bytes) {
  TBitmap24 picture;
  DecodePicture(bytes.data(), bytes.size(), picture);
  return picture;
}

void ExpectFails(const std::vector<uint8_t>& bytes, const std::string& why) {
  TBitmap24 picture;
  EXPECT_THROW(DecodePicture(bytes.data(), bytes.size(), picture), TPictureError) << why;
}

void ExpectPixels(const TBitmap24& picture, int32_t width, int32_t height,
                  const std::function<TBgr(int32_t, int32_t)>& expected) {
  ASSERT_EQ(picture.Width, width);
  ASSERT_EQ(picture.Height, height);
  ASSERT_EQ(picture.Rows.size(), size_t(width) * height * 3);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      ASSERT_EQ(PixelAt(picture, x, y), expected(x, y)) << "pixel " << x << "," << y;
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t size) {
  return {bytes.begin(), bytes.begin() + size};
}

// --- BMP: palettes, depths, row order and padding -------------------------------------------

TEST(Bmp, IndexedDepthsOddWidthsBothRowOrders) {
  for (int bits : {1, 4, 8})
    for (int32_t width : {1, 3, 5, 7, 9, 17})
      for (bool topDown : {false, true}) {
        auto index = [&](int32_t x, int32_t y) {
          return uint32_t(x * 3 + y * 5) % (bits == 1 ? 2 : 8);
        };
        TBmpFile f(width, 4, uint16_t(bits), topDown);
        f.Palette.assign(kColours.begin(), kColours.begin() + (bits == 1 ? 2 : 8));
        f.ColorsUsed = uint32_t(f.Palette.size());
        f.Pixels = PackRows(width, 4, bits, topDown, index);
        SCOPED_TRACE(testing::Message()
                     << bits << " bits, width " << width << ", top-down " << topDown);
        ExpectPixels(Decode(WriteBmp(f)), width, 4,
                     [&](int32_t x, int32_t y) { return kColours[index(x, y)]; });
      }
}

TEST(Bmp, ShortPalettesAndOs2CoreHeaders) {
  TBmpFile f(4, 1, 8);
  f.ColorsUsed = 2, f.Palette = {kColours[1], kColours[2]}, f.Pixels = {0, 1, 2, 255};
  const std::vector<TBgr> want = {kColours[1], kColours[2], kBlack,
                                  kBlack};  // past the table: black
  ExpectPixels(Decode(WriteBmp(f)), 4, 1, [&](int32_t x, int32_t) { return want[x]; });

  TBmpFile core(3, 2, 4, false, 0, 12);
  core.Palette.assign(16, kBlack);
  core.Palette[3] = kColours[3], core.Palette[7] = kColours[6];
  core.Pixels =
      PackRows(3, 2, 4, false, [](int32_t x, int32_t y) { return (x + y) % 2 ? 7u : 3u; });
  ExpectPixels(Decode(WriteBmp(core)), 3, 2,
               [](int32_t x, int32_t y) { return (x + y) % 2 ? kColours[6] : kColours[3]; });
}

// Channels of any width widen so that full scale is 255, rounding to nearest; alpha is ignored.
TEST(Bmp, DirectColourDepthsAndMasks) {
  struct TCase {
    uint16_t Bits;
    uint32_t Compression, Header;
    std::vector<uint32_t> Masks, Pixels;
    std::vector<TBgr> Want;
  };
  const std::vector<TBgr> primaries = {{255, 255, 255}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
  const TCase cases[] = {
      {16,
       0,
       40,
       {},
       {0x7FFF, 0x7C00, 0x03E0, 0x001F, 0x4210, 0x8000},
       {{255, 255, 255}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {132, 132, 132}, kBlack}},
      {16,
       3,
       40,
       {0xF800, 0x07E0, 0x001F},
       {0xFFFF, 0xF800, 0x07E0, 0x001F, 0x0400, 0x0821},
       {{255, 255, 255}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 130, 0}, {8, 4, 8}}},
      {16, 3, 108, {0xF800, 0x07E0, 0x001F}, {0xFFFF, 0xF800, 0x07E0, 0x001F}, primaries},
      {16, 3, 124, {0xF800, 0x07E0, 0x001F}, {0xFFFF, 0xF800, 0x07E0, 0x001F}, primaries},
      {24,
       0,
       40,
       {},
       {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x102030},
       {{255, 255, 255}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0x30, 0x20, 0x10}}},
      {32, 0, 40, {}, {0x80FFFFFF, 0xFF0000, 0x00FF00, 0x0000FF}, primaries},
      {32, 3, 40, {0xFF, 0xFF00, 0xFF000000}, {0xFFFFFFFF, 0xFF, 0xFF00, 0xFF000000}, primaries},
  };
  for (const TCase& c : cases)
    for (bool topDown : {false, true}) {
      const int32_t width = int32_t(c.Pixels.size());
      TBmpFile f(width, 2, c.Bits, topDown, c.Compression, c.Header);
      f.Masks = c.Masks;
      // Row 1 runs backwards, so a mix-up of the row order shows.
      f.Pixels = PackRows(width, 2, c.Bits, topDown,
                          [&](int32_t x, int32_t y) { return c.Pixels[y ? width - 1 - x : x]; });
      SCOPED_TRACE(testing::Message() << c.Bits << " bits, header " << c.Header << ", masks "
                                      << c.Masks.size() << ", top-down " << topDown);
      ExpectPixels(Decode(WriteBmp(f)), width, 2,
                   [&](int32_t x, int32_t y) { return c.Want[y ? width - 1 - x : x]; });
    }
}

// --- BMP: run-length data (drawn bottom-up) -------------------------------------------------

TBmpFile Rle(int bits, int32_t width, int32_t height, std::vector<uint8_t> data) {
  TBmpFile f(width, height, uint16_t(bits), false, bits == 8 ? 1u : 2u);
  f.Palette = kColours, f.ColorsUsed = 8, f.SizeImage = uint32_t(data.size()),
  f.Pixels = std::move(data);
  return f;
}

void ExpectIndices(const TBmpFile& f, const std::vector<std::vector<int>>& want) {
  ExpectPixels(Decode(WriteBmp(f)), f.Width, f.Height,
               [&](int32_t x, int32_t y) { return kColours[want[y][x]]; });
}

TEST(BmpRle, RunsLiteralsDeltasAndEnds) {
  ExpectIndices(Rle(8, 4, 3, {0x06, 0x01, 0x00, 0x00,           // a run past the row is clipped
                              0x00, 0x03, 2,    3,    4, 0x00,  // literal with its pad byte
                              0x01, 0x05, 0x00, 0x00,           // one more, end of line
                              0x00, 0x02, 0x02, 0x00,           // top row: skip two
                              0x01, 0x06, 0x00, 0x01}),         // one pixel, end of bitmap
                {{0, 0, 6, 0}, {2, 3, 4, 5}, {1, 1, 1, 1}});
  ExpectIndices(Rle(4, 5, 2, {0x05, 0x12, 0x00, 0x00, 0x00, 0x03, 0x34, 0x50, 0x00, 0x01}),
                {{3, 4, 5, 0, 0}, {1, 2, 1, 2, 1}});
  // The last literal may lack its pad and the end marker; a stated size too large is harmless.
  TBmpFile bare = Rle(8, 3, 1, {0x00, 0x03, 1, 2, 3});
  ExpectIndices(bare, {{1, 2, 3}});
  bare.SizeImage = 1000;
  ExpectIndices(bare, {{1, 2, 3}});
}

TEST(BmpRle, RunsPastTheRightEdgeStayInTheirRow) {
  // Drawn bottom-up, so each row but the first lies just before the one drawn earlier, and
  // the first is the end of the picture: a spill shows in the row below or leaves the buffer.
  ExpectIndices(Rle(8, 4, 3,
                    {0xFF, 0x01, 0x00, 0x00,           // 255 pixels in 4
                     0x06, 0x02, 0x00, 0x00,           // 6 in 4
                     0x00, 0x05, 3, 4, 5, 6, 7, 0x00,  // a literal of 5 in 4
                     0x00, 0x01}),
                {{3, 4, 5, 6}, {2, 2, 2, 2}, {1, 1, 1, 1}});
  ExpectIndices(Rle(4, 3, 2, {0x09, 0x12, 0x00, 0x00, 0x07, 0x34, 0x00, 0x01}),
                {{3, 4, 3}, {1, 2, 1}});
}

TEST(BmpRle, DataEndingBeforeTheLastPixelIsAnError) {
  ExpectFails(WriteBmp(Rle(8, 2, 2, {0x02, 0x01, 0x00, 0x00})), "one row missing");
  ExpectFails(WriteBmp(Rle(8, 8, 1, {0x00, 0x08, 1, 2, 3})), "literal past the end");
  ExpectFails(WriteBmp(Rle(4, 2, 2, {0x00, 0x02, 0x05})), "delta past the end");
  TBmpFile topDown = Rle(8, 1, 1, {0x01, 0x01, 0x00, 0x01});
  topDown.TopDown = true;
  ExpectFails(WriteBmp(topDown), "top-down run-length file");
}

// --- BMP: damaged files ---------------------------------------------------------------------

TBmpFile SmallIndexed() {
  TBmpFile f(5, 3, 4);
  f.Palette.assign(16, kColours[2]);
  f.Pixels = PackRows(5, 3, 4, false, [](int32_t x, int32_t) { return uint32_t(x); });
  return f;
}

TEST(BmpDamaged, EveryShortenedFileIsRefusedOrComplete) {
  const TBmpFile rle = Rle(8, 4, 3, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 1});
  for (const TBmpFile& f : {SmallIndexed(), rle}) {
    const std::vector<uint8_t> whole = WriteBmp(f);
    const TBitmap24 reference = Decode(whole);
    // Run-length data may lose the markers after its last pixel, nothing else.
    const size_t complete = f.Compression ? whole.size() - 2 : whole.size();
    for (size_t size = 0; size < complete; ++size) ExpectFails(Prefix(whole, size), "shortened");
    for (size_t size = complete; size < whole.size(); ++size)
      EXPECT_EQ(Decode(Prefix(whole, size)).Rows, reference.Rows);
  }
}

TEST(BmpDamaged, HeadersThatLie) {
  const std::vector<uint8_t> good = WriteBmp(SmallIndexed());
  auto with = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> bytes = good;
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> 8 * i);
    return bytes;
  };
  const std::pair<size_t, uint32_t> lies[] = {
      {10, 0xFFFFFFF0}, {10, 20},         {10, uint32_t(good.size() - 1)},  // pixel offset
      {14, 41},         {14, 124},                                          // header size
      {18, 0x7FFFFFFF}, {18, 0},          {18, 16385},
      {18, 2000},       {22, 0x80000000},  // dimensions
      {30, 7},          {30, 3}};          // compression
  for (auto [at, value] : lies) ExpectFails(with(at, value), "field " + std::to_string(at));
  ExpectFails(WriteBmp(TBmpFile(1, 1, 16, false, 3)), "bit-field masks past the end");
  TBmpFile palette = SmallIndexed();
  palette.ColorsUsed = 16, palette.Palette.resize(4), palette.Pixels.clear();
  ExpectFails(WriteBmp(palette), "palette past the end");
  // Writers often get the file size field wrong; it is not needed.
  EXPECT_EQ(Decode(with(2, 0xFFFFFF)).Rows, Decode(good).Rows);
}

class PictureLimit : public testing::Test {
 protected:
  void TearDown() override { SetPicturePixelLimit(Saved); }
  uint64_t Saved = PicturePixelLimit();
};

TEST_F(PictureLimit, PicturesAboveTheLimitAreRefused) {
  const std::vector<uint8_t> bmp = WriteBmp(Rle(8, 20, 10, {0x00, 0x01}));
  const std::vector<uint8_t> jpeg = EncodeJpeg(MakePattern(20, 10));
  const std::vector<uint8_t> png = EncodePng(MakePattern(20, 10));
  SetPicturePixelLimit(199);
  for (const auto& bytes : {bmp, jpeg, png}) {
    TBitmap24 picture;
    EXPECT_THROW(DecodePicture(bytes.data(), bytes.size(), picture), TPictureTooLarge);
  }
  SetPicturePixelLimit(200);
  EXPECT_EQ(Decode(bmp).Width, 20);
  EXPECT_EQ(Decode(jpeg).Height, 10);
  EXPECT_EQ(Decode(png).Width, 20);
}

// A header alone can claim a gigabyte. The claim is refused before anything is allocated, and
// the loader, which knows the file, names it along with the limit.
TEST(PictureClaims, HugeClaimsAreRefusedByNameBeforeDecoding) {
  const std::vector<uint8_t> claims[] = {
      ClaimingRleBmp(16384, 16384), WithJpegSize(EncodeJpeg(MakePattern(16, 16)), 16384, 16384),
      WithPngSize(EncodePng(MakePattern(2, 2)), 16384, 16384)};
  for (const std::vector<uint8_t>& bytes : claims) {
    THeapWatch heap;
    try {
      Decode(bytes);
      ADD_FAILURE() << "decoded a picture of 16384x16384";
    } catch (const TPictureTooLarge& error) {
      EXPECT_EQ(error.Width, 16384);
      EXPECT_EQ(error.Height, 16384);
      EXPECT_TRUE(
          std::string(error.what()).ends_with(" is 16384x16384, more than the 256 MiB limit"))
          << error.what();
    }
    EXPECT_LT(heap.Peak(), 1u << 20);
  }
  TTempFolder temp;
  const std::string path = temp.Write("huge.bmp", std::string(claims[0].begin(), claims[0].end()));
  TBitmap24 picture;
  try {
    LoadPictureFile(path, picture);
    ADD_FAILURE() << "loaded";
  } catch (const TPictureTooLarge& error) {
    EXPECT_EQ(std::string(error.what()),
              "picture too large: " + path + " is 16384x16384, more than the 256 MiB limit");
  }
  // The limit is the decoded size at four bytes a pixel: 8192 x 8192 is just inside it.
  EXPECT_TRUE(PictureFits(8192, 8192));
  EXPECT_FALSE(PictureFits(8192, 8193));
}

// Pictures that are damaged but can be shown are shown as far as they go; the loader says on
// stderr and in the log, under the file's name, what is wrong. Whole pictures say nothing.
TEST(BmpDamaged, ShownDamageIsNamedWithTheFile) {
  TBmpFile shortPalette(4, 1, 8);
  shortPalette.ColorsUsed = 2, shortPalette.Palette = {kColours[1], kColours[2]};
  shortPalette.Pixels = {0, 1, 2, 200};
  TBmpFile nibbles(3, 1, 4);
  nibbles.ColorsUsed = 4, nibbles.Palette.assign(kColours.begin(), kColours.begin() + 4);
  nibbles.Pixels = PackRows(3, 1, 4, false, [](int32_t x, int32_t) { return uint32_t(x * 5); });
  const std::string pastRow = "BMP run-length data runs past the end of a row";
  const std::string pastTop = "BMP run-length data runs past the top of the picture";
  struct TCase {
    std::string Name;
    TBmpFile File;
    std::string Damage;
  };
  const TCase cases[] = {
      {"whole.bmp", Rle(8, 4, 1, {0x04, 0x01, 0x00, 0x01}), ""},
      // Deltas may skip to the end of a row and of the picture.
      {"skips.bmp", Rle(8, 2, 2, {0x01, 0x01, 0x00, 0x02, 0x01, 0x01}), ""},
      {"row.bmp", Rle(8, 4, 1, {0x06, 0x01, 0x00, 0x01}), pastRow},
      {"row4.bmp", Rle(4, 3, 2, {0x09, 0x12, 0x00, 0x00, 0x07, 0x34, 0x00, 0x01}), pastRow},
      {"delta.bmp", Rle(8, 2, 2, {0x00, 0x02, 0x05, 0x00, 0x00, 0x01}), pastRow},
      {"top.bmp", Rle(8, 2, 2, {0x02, 0x01, 0x00, 0x02, 0x00, 0x05}), pastTop},
      {"runs.bmp", Rle(8, 2, 1, {0x03, 0x09, 0x00, 0x01}),
       pastRow + "; BMP pixels use palette index 9 of a palette of 8 colours; they show black"},
      {"palette.bmp", shortPalette,
       "BMP pixels use palette index 200 of a palette of 2 colours; they show black"},
      {"nibbles.bmp", nibbles,
       "BMP pixels use palette index 10 of a palette of 4 colours; they show black"},
  };
  TTempFolder temp;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> bytes = WriteBmp(c.File);
    const std::string path = temp.Write(c.Name, std::string(bytes.begin(), bytes.end())).string();
    TBitmap24 picture;
    testing::internal::CaptureStderr();
    LoadPictureFile(path, picture);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(picture.Rows, Decode(bytes).Rows);  // shown all the same
    EXPECT_EQ(picture.Damage, c.Damage);
    const std::string line = "picture damaged: " + path + ": " + c.Damage + "\n";
    EXPECT_EQ(said, c.Damage.empty() ? "" : line);
    std::ifstream log(LogFilePath());
    const std::string logged((std::istreambuf_iterator<char>(log)), {});
    EXPECT_EQ(logged.find(" " + line) != std::string::npos, !c.Damage.empty());
  }
}

// Compressions of OS/2 bitmaps are refused under their own names.
TEST(BmpDamaged, Os2CompressionsAreNamed) {
  const std::pair<TBmpFile, std::string> cases[] = {
      {TBmpFile(8, 1, 1, false, 3, 64), "BMP Huffman 1D compression is not supported (DecodeBmp)"},
      {TBmpFile(8, 1, 1, false, 3, 40), "BMP Huffman 1D compression is not supported (DecodeBmp)"},
      {TBmpFile(8, 1, 24, false, 4, 64), "BMP RLE24 compression is not supported (DecodeBmp)"},
      {TBmpFile(8, 1, 8, false, 3, 40), "BMP bit fields need 16 or 32 bits (DecodeBmp)"},
  };
  for (const auto& [file, message] : cases) {
    TBitmap24 picture;
    const std::vector<uint8_t> bytes = WriteBmp(file);
    try {
      DecodePicture(bytes.data(), bytes.size(), picture);
      ADD_FAILURE() << "decoded: " << message;
    } catch (const TPictureError& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
}

// --- PNG ------------------------------------------------------------------------------------

// Interlaced 16-bit pictures, as in the PNG suite's basi0g16 ... basi6a16, decode to the same
// pixels as the same picture stored without interlacing.
TEST(Png, Interlaced16BitPicturesEqualTheirPlainTwins) {
  for (int colourType : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                         PNG_COLOR_TYPE_RGB_ALPHA})
    for (auto [width, height] : {std::pair{32, 32}, std::pair{37, 29}, std::pair{3, 9}}) {
      SCOPED_TRACE(testing::Message()
                   << "colour type " << colourType << ", " << width << "x" << height);
      const TBitmap24 plain = Decode(EncodePng16(width, height, colourType, false));
      const TBitmap24 interlaced = Decode(EncodePng16(width, height, colourType, true));
      ASSERT_EQ(plain.Width, width);
      EXPECT_EQ(interlaced.Rows, plain.Rows);
    }
}

// --- JPEG -----------------------------------------------------------------------------------

int MaxDifference(const TBitmap24& a, const TBitmap24& b) {
  int worst = 0;
  for (size_t i = 0; i < a.Rows.size(); ++i)
    worst = std::max(worst, std::abs(a.Rows[i] - b.Rows[i]));
  return worst;
}

TEST(Jpeg, SameAsLibjpegAndCloseToTheSource) {
  for (bool progressive : {false, true})
    for (auto [w, h] : {std::pair{37, 23}, std::pair{16, 16}, std::pair{1, 1}}) {
      const TBitmap24 source = MakePattern(w, h);
      const std::vector<uint8_t> jpeg = EncodeJpeg(source, {95, progressive});
      const TBitmap24 ours = Decode(jpeg);
      SCOPED_TRACE(testing::Message() << w << "x" << h << " progressive " << progressive);
      ASSERT_EQ(ours.Width, w);
      ASSERT_EQ(ours.Height, h);
      EXPECT_EQ(ours.Rows, ReferenceJpegDecode(jpeg).Rows);
      EXPECT_LE(MaxDifference(ours, source), 12);
    }
  const TBitmap24 source = MakePattern(20, 9);
  const TBitmap24 gray = Decode(EncodeJpeg(source, {90, false, true}));
  for (int32_t x = 0; x < 20; ++x) {
    const TBgr c = PixelAt(gray, x, 4), s = PixelAt(source, x, 4);
    EXPECT_TRUE(c[0] == c[1] && c[1] == c[2]) << x;
    EXPECT_NEAR(c[0], (114 * s[0] + 587 * s[1] + 299 * s[2]) / 1000, 6) << x;
  }
}

// Adobe writes CMYK inverted (255 = no ink); without its marker the values are ink.
TEST(Jpeg, CmykWithAndWithoutAdobeMarker) {
  for (auto [stored, adobe] : {std::pair{std::array<uint8_t, 4>{255, 0, 0, 255}, true},
                               std::pair{std::array<uint8_t, 4>{0, 255, 255, 0}, false}}) {
    const TBgr red = PixelAt(Decode(EncodeCmykJpeg(stored, adobe)), 3, 3);
    EXPECT_LE(red[0], 3) << adobe;
    EXPECT_LE(red[1], 3) << adobe;
    EXPECT_GE(red[2], 252) << adobe;
  }
  for (uint8_t channel : PixelAt(Decode(EncodeCmykJpeg({255, 255, 255, 127}, true)), 5, 5))
    EXPECT_NEAR(channel, 127, 3);
}

// Only a file that lacks nothing but its end marker decodes; a progressive file cut between
// two scans would otherwise come out blurred without a word.
TEST(Jpeg, CutFilesFailUnlessOnlyTheEndMarkerIsMissing) {
  for (bool progressive : {false, true}) {
    const std::vector<uint8_t> jpeg = EncodeJpeg(MakePattern(24, 24), {80, progressive});
    ASSERT_EQ(jpeg[jpeg.size() - 2], 0xFF);
    ASSERT_EQ(jpeg.back(), 0xD9);
    const TBitmap24 whole = Decode(jpeg);
    for (size_t size = 0; size + 2 < jpeg.size(); ++size)
      ExpectFails(Prefix(jpeg, size), "cut at " + std::to_string(size));
    for (size_t size : {jpeg.size() - 2, jpeg.size() - 1})
      EXPECT_EQ(Decode(Prefix(jpeg, size)).Rows, whole.Rows)
          << size << " progressive " << progressive;
  }
}

TEST(Jpeg, FrameSizeThatLies) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(MakePattern(16, 16));
  for (auto [w, h] : {std::pair{60000, 16}, std::pair{16, 0}, std::pair{4000, 3000}})
    ExpectFails(WithJpegSize(jpeg, w, h),
                std::to_string(w) + "x" + std::to_string(h) + " over 16x16 data");
}

// --- Recognition ----------------------------------------------------------------------------

TEST(PictureKind, ContentDecidesAndEachDecoderKeepsToItsOwn) {
  const std::vector<uint8_t> bmp = WriteBmp(SmallIndexed()), jpeg = EncodeJpeg(MakePattern(4, 4));
  EXPECT_EQ(Decode(bmp).Width, 5);
  EXPECT_EQ(Decode(jpeg).Width, 4);
  for (const std::vector<uint8_t>& other : {std::vector<uint8_t>{'G', 'I', 'F', '8'}, {}, {0xFF}})
    ExpectFails(other, "not a picture");
  TBitmap24 picture;
  EXPECT_THROW(DecodeJpeg(bmp.data(), bmp.size(), picture), TPictureError);
  EXPECT_THROW(DecodeBmp(jpeg.data(), jpeg.size(), picture), TPictureError);
  EXPECT_THROW(LoadPictureFile("/nonexistent/picture.bmp", picture), TPictureError);
}

}  // namespace
