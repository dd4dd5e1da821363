// Glyph tables of the font sheets: the column scan on small hand-drawn sheets, and the default
// font file that the build draws.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "graphics/SE_Convert.h"
#include "image/SE_Picture.h"
#include "platform/PL_Text.h"
#include "resource/SE_FontTable.h"
#include "resource/SE_Resource.h"

namespace {

struct TExpectedGlyph {
  int32_t Row, X, Width;
};

// A hand-drawn sheet whose block ends right at an unreadable page, so a scan that reads past
// it crashes instead of passing by luck. Row padding is non-zero: a scan straying into it
// would see ink.
class TTestSheet {
 public:
  TTestSheet(int32_t width, int32_t height, int32_t bytesPerPixel = 2, int32_t padding = 0)
      : Width(width),
        Height(height),
        BytesPerPixel(bytesPerPixel),
        Pitch(width * bytesPerPixel + padding) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t size = static_cast<size_t>(Pitch) * height;
    const size_t dataBytes = (size + page - 1) / page * page;
    Mapped = dataBytes + page;
    Base = static_cast<uint8_t*>(
        mmap(nullptr, Mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    if (Base == MAP_FAILED || mprotect(Base + dataBytes, page, PROT_NONE) != 0) std::abort();
    Data = Base + dataBytes - size;
    for (int32_t y = 0; y < height; ++y)
      std::memset(Data + size_t(y) * Pitch + width * bytesPerPixel, 0xA5, size_t(padding));
  }
  // Rows of `lineHeight` lines with the glyphs drawn where they are expected.
  TTestSheet(int32_t width, int32_t lineHeight, int32_t rows,
             const std::vector<TExpectedGlyph>& glyphs)
      : TTestSheet(width, lineHeight * rows) {
    for (const TExpectedGlyph& g : glyphs) Glyph(g.Row, lineHeight, g.X, g.Width);
  }
  ~TTestSheet() { munmap(Base, Mapped); }
  TTestSheet(const TTestSheet&) = delete;
  TTestSheet& operator=(const TTestSheet&) = delete;

  // One non-zero byte is all a pixel needs to count as ink.
  void Ink(int32_t x, int32_t y, int32_t byte = 0) {
    Data[size_t(y) * Pitch + size_t(x) * BytesPerPixel + byte] = 1;
  }
  // Columns [x, x + width) of a row, one pixel each, walking down the row's lines.
  void Glyph(int32_t row, int32_t lineHeight, int32_t x, int32_t width) {
    for (int32_t c = x; c < x + width; ++c) Ink(c, row * lineHeight + c % lineHeight);
  }
  TGlyphTable Scan(int32_t face) const {
    return ScanGlyphTable(Data, Width, Height, Pitch, BytesPerPixel, face);
  }

  const int32_t Width, Height, BytesPerPixel, Pitch;

 private:
  uint8_t* Base;
  uint8_t* Data;
  size_t Mapped;
};

// The glyphs listed come out where they were drawn; every glyph after them is empty.
void ExpectGlyphs(const TGlyphTable& table, const std::vector<TExpectedGlyph>& glyphs) {
  for (int32_t g = 0; g < kGlyphCount; ++g) {
    const TExpectedGlyph want = g < int32_t(glyphs.size()) ? glyphs[g] : TExpectedGlyph{};
    EXPECT_EQ(table.X[g], want.X) << "glyph " << g;
    EXPECT_EQ(table.Width[g], want.Width) << "glyph " << g;
    if (want.Width > 0) {
      EXPECT_EQ(table.RowOf(g), want.Row) << "glyph " << g;
    }
  }
}

}  // namespace

TEST(GlyphOrder, BytesFindTheirGlyphsAndNothingElseHasOne) {
  for (int32_t g = 0; g < kGlyphCount; ++g) EXPECT_EQ(GlyphIndexOf(kGlyphOrder[g]), g);
  const std::string accented = Utf8ToCp1250("ÁÉÍÓÖŐÚÜŰáéíóöőúüű");
  for (int32_t i = 0; i < 18; ++i) EXPECT_EQ(GlyphIndexOf(uint8_t(accented[i])), 76 + i) << i;
  EXPECT_EQ(GlyphIndexOf('%'), 94);
  EXPECT_EQ(GlyphIndexOf('"'), 95);
  for (char c : " #@_'" + Utf8ToCp1250("ŠÄäô§")) EXPECT_EQ(GlyphIndexOf(uint8_t(c)), -1) << c;
  int32_t mapped = 0;
  for (int32_t b = 0; b < 256; ++b) mapped += GlyphIndexOf(uint8_t(b)) >= 0;
  EXPECT_EQ(mapped, kGlyphCount);
}

TEST(GlyphScan, GlyphsAreRunsOfInkedColumnsInTheirOwnRow) {
  // Blank columns before, between and after glyphs; the rest of a row is walked to the next.
  // Glyph 4 stands in the second row right under the gap after glyph 0.
  const std::vector<TExpectedGlyph> glyphs = {
      {0, 2, 3}, {0, 6, 1}, {0, 11, 4}, {1, 0, 2}, {1, 5, 1}};
  const TGlyphTable table = TTestSheet(30, 5, 2, glyphs).Scan(1);
  EXPECT_EQ(table.LineHeight, 5);
  ExpectGlyphs(table, glyphs);
  EXPECT_EQ(table.RowCount, 2);
  EXPECT_EQ(table.RowStart[1], 3);
}

TEST(GlyphScan, ThreeRowFaceUsesAThirdOfTheSheetPerRow) {
  TTestSheet sheet(20, 3 * 4 + 2);  // two lines left over below the rows belong to none
  sheet.Glyph(0, 4, 0, 3);
  sheet.Glyph(1, 4, 1, 2);
  sheet.Glyph(2, 4, 5, 1);
  sheet.Ink(0, 12);
  sheet.Ink(1, 13);
  const TGlyphTable table = sheet.Scan(kThreeRowFace);
  EXPECT_EQ(table.LineHeight, 4);
  EXPECT_EQ(table.RowCount, 3);
  ExpectGlyphs(table, {{0, 0, 3}, {1, 1, 2}, {2, 5, 1}});
  EXPECT_EQ(sheet.Scan(1).LineHeight, 7) << "other faces halve the sheet";
}

TEST(GlyphScan, APixelIsInkWhenAnyOfItsBytesIsNonZero) {
  for (int32_t bytes : {2, 3, 4}) {
    for (int32_t byte = 0; byte < bytes; ++byte) {
      SCOPED_TRACE(std::to_string(bytes) + " bytes per pixel, byte " + std::to_string(byte));
      TTestSheet sheet(16, 8, bytes, /*padding=*/5);
      for (int32_t x = 1; x < 4; ++x) sheet.Ink(x, x, byte);
      sheet.Ink(5, 3, byte);
      for (int32_t x = 13; x < 16; ++x) sheet.Ink(x, 0, byte);  // up to the padding
      ExpectGlyphs(sheet.Scan(1), {{0, 1, 3}, {0, 5, 1}, {0, 13, 3}});
    }
  }
}

TEST(GlyphScan, RowEndsOnceTheScanIsWithinOneColumnOfTheEdge) {
  // A glyph ending two columns before the edge ends the row: the last column's ink is lost.
  TTestSheet wraps(12, 4, 2, {{0, 0, 10}, {1, 0, 3}});
  wraps.Ink(11, 0);
  const TGlyphTable wrapped = wraps.Scan(1);
  ExpectGlyphs(wrapped, {{0, 0, 10}, {1, 0, 3}});
  EXPECT_EQ(wrapped.RowStart[1], 1);
  // One column earlier, the two columns left still hold a glyph.
  const TGlyphTable kept = TTestSheet(12, 4, 2, {{0, 0, 9}, {0, 10, 2}, {1, 2, 3}}).Scan(1);
  ExpectGlyphs(kept, {{0, 0, 9}, {0, 10, 2}, {1, 2, 3}});
  EXPECT_EQ(kept.RowStart[1], 2);
}

TEST(GlyphScanShortSheet, StopsAtTheSheetsLastRowWithEveryRectangleInside) {
  for (const auto& glyphs : {std::vector<TExpectedGlyph>{{0, 0, 3}, {0, 5, 2}, {2, 1, 1}},
                             std::vector<TExpectedGlyph>{}}) {
    const TTestSheet sheet(9, 3, 3, glyphs);
    const TGlyphTable table = sheet.Scan(kThreeRowFace);
    ExpectGlyphs(table, glyphs);
    EXPECT_EQ(table.RowCount, 3);
    for (int32_t g = 0; g < kGlyphCount; ++g) {
      const TRect r = GlyphRect(table, g);
      EXPECT_TRUE(r.Left >= 0 && r.Right <= 9 && r.Top >= 0 && r.Bottom <= 9) << "glyph " << g;
    }
  }
}

TEST(GlyphScanShortSheet, RowsNeverOutnumberTheSheet) {
  TTestSheet sheet(6, 5);  // five rows of one line each
  for (int32_t row = 0; row < 5; ++row) sheet.Ink(row, row);
  const TGlyphTable table = sheet.Scan(kThreeRowFace);
  EXPECT_EQ(table.RowCount, 5);
  ExpectGlyphs(table, {{0, 0, 1}, {1, 1, 1}, {2, 2, 1}, {3, 3, 1}, {4, 4, 1}});
}

TEST(GlyphScanShortSheet, BlocksTooSmallToScanGiveEmptyTables) {
  TTestSheet narrow(3, 4);  // every pixel inked: each row holds one glyph
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) narrow.Ink(x, y);
  ExpectGlyphs(narrow.Scan(1), {{0, 0, 3}, {1, 0, 3}});
  uint8_t ink[64];
  std::memset(ink, 1, sizeof ink);
  ExpectGlyphs(ScanGlyphTable(ink, 2, 1, 4, 2, 1), {});  // no line per row
  ExpectGlyphs(ScanGlyphTable(nullptr, 8, 8, 16, 2, 1), {});
  ExpectGlyphs(ScanGlyphTable(ink, 2, 2, 2, 2, 1), {});  // pitch shorter than a row
  ExpectGlyphs(ScanGlyphTable(ink, 2, 2, 8, 1, 1), {});  // no such pixel size
  ExpectGlyphs(ScanGlyphTable(ink, 0, 2, 0, 2, 1), {});
}

TEST(GlyphRect, AGlyphTakesItsRowsWholeHeightEvenBelowABlankRow) {
  const TGlyphTable table = TTestSheet(10, 3, 3, {{0, 0, 2}, {0, 3, 4}, {2, 4, 2}}).Scan(6);
  ASSERT_EQ(table.RowStart[1], 2);
  ASSERT_EQ(table.RowStart[2], 2);
  const TRect first = GlyphRect(table, 1), second = GlyphRect(table, 2);
  EXPECT_TRUE(first.Left == 3 && first.Right == 7 && first.Top == 0 && first.Bottom == 3);
  EXPECT_TRUE(second.Left == 4 && second.Right == 6 && second.Top == 6 && second.Bottom == 9);
  for (int32_t g : {-1, kGlyphCount}) {
    EXPECT_EQ(GlyphRect(table, g).Width(), 0);
    EXPECT_EQ(FixedGlyphRect(g).Width(), 0);
  }
  const TRect last = FixedGlyphRect(kGlyphCount - 1);
  EXPECT_TRUE(last.Left == 665 && last.Right == 672 && last.Top == 0 && last.Bottom == 13);
}

// ---------------------------------------------------------------------------------------------
// The default font file drawn by the build

namespace {

const char* const kFaceNames[7] = {"Currier12", "Arial14",        "Arial18",  "Arial24",
                                   "Papyrus18", "Papyrus18white", "Papyrus24"};
const int32_t kFaceLineHeights[7] = {13, 14, 18, 24, 18, 18, 24};
const int32_t kFaceRows[7] = {1, 2, 2, 2, 2, 2, 3};

// A face's sheet as the display holds it, 16-bit pixels, with its glyph rectangles.
struct TLoadedFace {
  TBitmap24 Picture;
  std::vector<uint16_t> Pixels;
  TGlyphTable Table;
  bool Inked(int32_t x, int32_t y) const { return Pixels[size_t(y) * Picture.Width + x] != 0; }
  TRect Rect(int32_t face, uint8_t byte) const {
    return face == kFixedFace ? FixedGlyphRect(GlyphIndexOf(byte))
                              : GlyphRect(Table, GlyphIndexOf(byte));
  }
  // The first and last inked lines of a glyph, from the top of its row.
  std::pair<int32_t, int32_t> InkLines(int32_t face, uint8_t byte) const {
    const TRect r = Rect(face, byte);
    int32_t first = -1, last = -1;
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      for (int32_t x = r.Left; x < r.Right; ++x)
        if (Inked(x, y)) {
          if (first < 0) first = y - r.Top;
          last = y - r.Top;
        }
    return {first, last};
  }
};

TLoadedFace LoadFace(int32_t face, bool rgb555 = false) {
  TGEResource file;
  TGEResourceHeader header;
  std::vector<uint8_t> bmp;
  TLoadedFace loaded;
  if (!file.OpenPath(std::string(VEKE_BINARY_DIR) + "/Res/Fonts16bit.ger") ||
      !file.ReadPayloadByName(kFaceNames[face], header, bmp) || header.Kind != kResourceBmp)
    throw std::runtime_error(std::string("no BMP sheet ") + kFaceNames[face]);
  DecodeBmp(bmp.data(), bmp.size(), loaded.Picture);
  const TBitmap24& p = loaded.Picture;
  loaded.Pixels.resize(size_t(p.Width) * p.Height);
  for (int32_t y = 0; y < p.Height; ++y)
    (rgb555 ? Convert24To555 : Convert24To565)(p.Width, y, loaded.Pixels.data(), p.Row(y));
  loaded.Table = ScanGlyphTable(reinterpret_cast<const uint8_t*>(loaded.Pixels.data()), p.Width,
                                p.Height, p.Width * 2, 2, face);
  return loaded;
}

class FontSheetFace : public ::testing::TestWithParam<std::tuple<int32_t, bool>> {};

}  // namespace

TEST(DefaultFontSheets, HoldsTheSevenFacesAsBmpPicturesInOrder) {
  TGEResource file;
  ASSERT_TRUE(file.OpenPath(std::string(VEKE_BINARY_DIR) + "/Res/Fonts16bit.ger"));
  const std::vector<TGEResourceHeader> entries = file.ListEntries();
  ASSERT_EQ(entries.size(), 7u);
  for (int32_t face = 0; face < 7; ++face) {
    EXPECT_EQ(entries[face].Name, kFaceNames[face]);
    EXPECT_EQ(entries[face].Kind, kResourceBmp);
    EXPECT_EQ(entries[face].ImageHeight, kFaceLineHeights[face] * kFaceRows[face]);
  }
  EXPECT_EQ(entries[kFixedFace].ImageWidth, kFixedCellWidth * kGlyphCount);
}

TEST_P(FontSheetFace, ScanFindsEveryGlyphAsOneRunFollowedByAGapInEvenRows) {
  const auto [face, rgb555] = GetParam();
  const TLoadedFace f = LoadFace(face, rgb555);
  const int32_t width = f.Picture.Width, height = f.Picture.Height;
  EXPECT_EQ(f.Table.LineHeight, kFaceLineHeights[face]);
  EXPECT_EQ(f.Table.RowCount, kFaceRows[face]);
  std::vector<bool> covered(size_t(width) * height);
  std::vector<int32_t> rowEnd(kFaceRows[face]);
  auto columnInked = [&](int32_t x, const TRect& r) {
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      if (f.Inked(x, y)) return true;
    return false;
  };
  for (int32_t g = 0; g < kGlyphCount; ++g) {
    const TRect r = GlyphRect(f.Table, g);
    ASSERT_TRUE(f.Table.Width[g] > 0 && r.Right <= width && r.Bottom <= height) << g;
    for (int32_t x = r.Left; x < r.Right; ++x) EXPECT_TRUE(columnInked(x, r)) << g << " @" << x;
    if (r.Right < width) {
      EXPECT_FALSE(columnInked(r.Right, r)) << "after glyph " << g;
    }
    for (int32_t y = r.Top; y < r.Bottom; ++y)
      for (int32_t x = r.Left; x < r.Right; ++x) covered[size_t(y) * width + x] = true;
    rowEnd[f.Table.RowOf(g)] = r.Right;
  }
  // Ink that no glyph takes in would be a glyph the scan stepped over.
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (f.Inked(x, y) && !covered[size_t(y) * width + x]) {
        ADD_FAILURE() << "ink outside every glyph at " << x << "," << y;
      }
  for (int32_t end : rowEnd) EXPECT_GT(end, width * 4 / 5) << "rows are evenly filled";
}

INSTANTIATE_TEST_SUITE_P(Proportional, FontSheetFace,
                         ::testing::Combine(::testing::Range(1, 7), ::testing::Bool()));

TEST(DefaultFontSheets, AccentsRiseAboveTheirLettersAndDescendersSinkBelowTheBaseline) {
  const std::string accented = Utf8ToCp1250("ÁÉÍÓÖŐÚÜŰáéíóöőúüű");
  const std::string plain = "AEIOOOUUUaeiooouuu";
  for (int32_t face = 0; face < 7; ++face) {
    SCOPED_TRACE(kFaceNames[face]);
    const TLoadedFace f = LoadFace(face);
    const auto [xTop, baseline] = f.InkLines(face, 'o');  // baseline give or take overshoot
    for (size_t i = 0; i < plain.size(); ++i) {
      const auto [top, bottom] = f.InkLines(face, accented[i]);
      EXPECT_LT(top, i < 9 ? f.InkLines(face, plain[i]).first : xTop - 1) << plain[i];
      EXPECT_EQ(bottom, f.InkLines(face, plain[i]).second) << plain[i];
    }
    for (char c : std::string("gjpqy")) EXPECT_GT(f.InkLines(face, c).second, baseline) << c;
    EXPECT_LT(f.InkLines(face, '"').second, (xTop + baseline) / 2) << "quotes sit high";
  }
}

TEST(DefaultFontSheets, NoVisiblePixelTurnsTransparentIn16BitsAndFacesKeepTheirColours) {
  for (int32_t face = 0; face < 7; ++face) {
    const std::vector<uint8_t> bgr = LoadFace(face).Picture.Rows;
    auto sum = [&](size_t i) { return bgr[i] + bgr[i + 1] + bgr[i + 2]; };
    size_t lost = 0, brightest = 0;
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) {
      lost += sum(i) != 0 && ((bgr[i] | bgr[i + 1] | bgr[i + 2]) >> 3) == 0;
      if (sum(i) > sum(brightest)) brightest = i;
    }
    EXPECT_EQ(lost, 0u) << kFaceNames[face];
    // White faces, and a light colour (not grey) for the two coloured script faces.
    const bool coloured = face == 4 || face == 6;
    EXPECT_EQ(bgr[brightest] == bgr[brightest + 2], !coloured) << kFaceNames[face];
    EXPECT_GT(sum(brightest), coloured ? 480 : 720) << kFaceNames[face];
  }
}
