// Bitmap fonts: face keys, widths and line heights measured from the sheets, glyphs drawn
// with their advances and cut at the screen's edges, faces whose sheet is missing, and the
// display's one-colour text.
#include <gtest/gtest.h>

#include "ObjectSamples.h"
#include "TestSupport.h"
#include "engine/SE_Font.h"

namespace {
using namespace samples;

class FontTest : public ::testing::Test, public TScriptRun {
 protected:
  // An engine whose font is the hand-made file; one frame has run, so drawing goes to the
  // frame being composed.
  TGEFont& Open(bool hardware = false, const std::set<int32_t>& missing = {}) {
    WriteFontFile(Temp, "fonts.ger", missing);
    Load("CREATEENGINE(640, 480, T, FONTS.GER)\n", hardware);
    Frame();
    return *Veke->Engine->Font;
  }
  uint32_t At(int32_t x, int32_t y) { return FramePixel(*Veke->Engine->Display, x, y); }

  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
};

TEST(FontFaces, KeysSelectFacesExactlyAndAnythingElseIsFace0) {
  const char* keys[] = {"CURRIER12", "ARIAL14",        "ARIAL18",  "ARIAL24",
                        "PAPYRUS18", "PAPYRUS18WHITE", "PAPYRUS24"};
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(TGEFont::FaceIndex(keys[i]), i) << keys[i];
  // Keys are compared as they are: another letter case, a blank, or a prefix is no key.
  EXPECT_EQ(TGEFont::FaceIndex("papyrus18"), 0);
  EXPECT_EQ(TGEFont::FaceIndex("Arial14"), 0);
  EXPECT_EQ(TGEFont::FaceIndex("PAPYRUS18 "), 0);
  EXPECT_EQ(TGEFont::FaceIndex("PAPYRUS"), 0);
  EXPECT_EQ(TGEFont::FaceIndex(""), 0);
  EXPECT_EQ(TGEFont::FaceIndex("TIMES"), 0);
}

TEST_F(FontTest, FixedFaceAdvancesEightPixelsPerByte) {
  TGEFont& font = Open();
  font.SetFace(0);
  EXPECT_EQ(font.LineHeight(), 13);
  // Six mapped characters, as the frame rate line shows them: 6 x (7 + 1).
  EXPECT_EQ(font.TextWidth("FPS:60"), 48);
  // Spaces and bytes outside the glyph order take eight pixels too.
  EXPECT_EQ(font.TextWidth("a b#"), 32);
  EXPECT_EQ(font.TextWidth(""), 0);
}

TEST_F(FontTest, ProportionalWidthsAndLineHeightsComeFromTheSheets) {
  TGEFont& font = Open();
  font.SetFace(1);
  // Digits 0..3 are glyphs 0..3, 1 to 4 columns wide, each followed by one blank column.
  EXPECT_EQ(font.TextWidth("0123"), 2 + 3 + 4 + 5);
  EXPECT_EQ(font.TextWidth("A"), 4);   // glyph 10: 3 columns
  EXPECT_EQ(font.TextWidth("z"), 3);   // glyph 61, on the second row: 2 columns
  EXPECT_EQ(font.TextWidth("\xE1"), 3);  // á is glyph 85: 2 columns
  EXPECT_EQ(font.TextWidth("0 0"), 2 + 8 + 2);
  // The quote, the percent sign and unknown bytes are measured as the digit zero, although
  // they are drawn otherwise (glyphs 95 and 94 are 4 and 3 columns wide).
  EXPECT_EQ(font.TextWidth("\""), 2);
  EXPECT_EQ(font.TextWidth("%"), 2);
  EXPECT_EQ(font.TextWidth("#"), 2);
  EXPECT_EQ(font.TextWidth("\r\n"), 4);

  // Faces 1 to 5 hold two rows of glyphs on their sheets, face 6 three.
  for (int32_t face = 1; face < 7; ++face) {
    font.SetFace(face);
    EXPECT_EQ(font.LineHeight(), kSampleLineHeight[face]) << "face " << face;
  }
  font.SetFace(3);
  EXPECT_EQ(font.TextWidth("0123"), 14);  // every sample face has the same widths
}

TEST_F(FontTest, GlyphsAreDrawnKeyedWithTheirAdvances) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    TGEFont& font = Open(hardware);
    font.SetFace(1);
    // '0' at 100 (1 column), '#' an 8-pixel gap, '0' at 110, '%' (3 columns) at 112,
    // '"' (4 columns, second sheet row) at 116, '3' (4 columns) at 121.
    font.TextOut(100, 50, "0#0%\"3");
    const int32_t y = 55;
    EXPECT_EQ(At(100, y), Ink(1, 0));
    EXPECT_EQ(At(101, y), 0u);
    for (int32_t x = 102; x < 110; ++x) EXPECT_EQ(At(x, y), 0u) << x;
    EXPECT_EQ(At(110, y), Ink(1, 0));
    EXPECT_EQ(At(112, y), Ink(1, 94));
    EXPECT_EQ(At(114, y), Ink(1, 94));
    EXPECT_EQ(At(115, y), 0u);
    EXPECT_EQ(At(116, y), Ink(1, 95));
    EXPECT_EQ(At(121, y), Ink(1, 3));
    EXPECT_EQ(At(124, y), Ink(1, 3));
    EXPECT_EQ(At(125, y), 0u);
    // A glyph of the second sheet row is drawn from the top edge given, a whole line high;
    // its transparent corner shows what was beneath.
    EXPECT_EQ(At(117, 50), Ink(1, 95));
    EXPECT_EQ(At(116, 50), 0u);
    EXPECT_EQ(At(116, 59), Ink(1, 95));
    EXPECT_EQ(At(116, 60), 0u);
    EXPECT_EQ(At(116, 49), 0u);

    font.SetFace(0);
    font.TextOut(10, 200, "0#1");
    EXPECT_EQ(At(10, 200), 0u);
    EXPECT_EQ(At(11, 200), Ink(0, 0));
    EXPECT_EQ(At(16, 212), Ink(0, 0));
    EXPECT_EQ(At(17, 205), 0u);
    EXPECT_EQ(At(16, 213), 0u);
    EXPECT_EQ(At(25, 205), 0u);
    EXPECT_EQ(At(26, 205), Ink(0, 1));  // 10 + 8 + 8
  }
}

TEST_F(FontTest, TextIsCutAtTheScreenEdges) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    TGEFont& font = Open(hardware);
    font.SetFace(0);
    // The first cell covers columns 636..642 and rows 470..482: only 636..639 x 470..479
    // are on the screen; the second cell is wholly off it.
    font.TextOut(636, 470, "00");
    EXPECT_EQ(At(639, 479), Ink(0, 0));
    EXPECT_EQ(At(637, 470), Ink(0, 0));
    // Nothing of the cut part reaches the start of the next row of the frame.
    for (int32_t y = 470; y < 480; ++y)
      for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(At(x, y), 0u) << x << "," << y;
    // Cut at the left and top edges too.
    font.TextOut(-3, -2, "1");
    EXPECT_EQ(At(0, 0), Ink(0, 1));
    EXPECT_EQ(At(3, 10), Ink(0, 1));
    EXPECT_EQ(At(4, 10), 0u);
    EXPECT_EQ(At(0, 11), 0u);
    font.SetFace(3);
    font.TextOut(638, 470, "3");  // 4 columns, 16 lines
    EXPECT_EQ(At(639, 479), Ink(3, 3));
  }
}

// Scripts may place text anywhere in the int32 range; text that cannot reach the screen
// leaves every pixel as it was, in both display modes, for the font and the display's text.
TEST_F(FontTest, TextAtTheEndsOfTheInt32RangeDrawsNothing) {
  constexpr int32_t kMax = INT32_MAX, kMin = INT32_MIN;
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    TGEFont& font = Open(hardware);
    TGEDDraw& display = *Veke->Engine->Display;
    FillFrame(display, kGrey);
    const std::pair<int32_t, int32_t> corners[] = {{kMax - 5, 100}, {kMax, kMax}, {100, kMax - 3},
                                                   {kMin, 100},     {100, kMin},  {kMin, kMax}};
    for (int32_t face : {0, 1, 3}) {
      font.SetFace(face);
      for (auto [x, y] : corners) font.TextOut(x, y, "0 0#0\"3");
    }
    for (auto [x, y] : corners) display.TextOut(x, y, "0 0#0", 0x0000FF);
    for (int32_t y = 0; y < 480; ++y)
      for (int32_t x = 0; x < 640; ++x) ASSERT_EQ(At(x, y), kGrey) << x << "," << y;
  }
}

TEST_F(FontTest, FaceWithoutSheetDrawsNothingAndMeasuresNothing) {
  TGEFont& font = Open(false, {4});
  const size_t before = Headless->Messages.size();
  font.SetFace(4);
  EXPECT_EQ(font.TextWidth("0123"), 0);
  EXPECT_EQ(font.LineHeight(), 0);
  EXPECT_GT(Headless->Messages.size(), before);  // the sheet reported itself
  const size_t reported = Headless->Messages.size();
  font.TextOut(100, 100, "0123");
  for (int32_t x = 95; x < 130; ++x) EXPECT_EQ(At(x, 105), 0u) << x;
  EXPECT_EQ(font.TextWidth("01 23"), 0);  // spaces take no room either
  EXPECT_EQ(Headless->Messages.size(), reported);  // not loaded (nor reported) again
  // The other faces are untouched.
  font.SetFace(5);
  EXPECT_EQ(font.TextWidth("0123"), 14);
}

TEST_F(FontTest, FixedFaceKeepsItsMeasuresWithoutAFontFile) {
  Load("CREATEENGINE(640, 480, T, NOWHERE.GER)\n");
  Frame();
  TGEFont& font = *Veke->Engine->Font;
  font.SetFace(0);
  EXPECT_EQ(font.LineHeight(), 13);
  EXPECT_EQ(font.TextWidth("FPS:60"), 48);
  font.TextOut(10, 10, "FPS:60");
  EXPECT_EQ(At(12, 15), 0u);
  font.SetFace(1);
  EXPECT_EQ(font.TextWidth("0123"), 0);
}

TEST_F(FontTest, DisplayTextPaintsFixedShapesInOneColour) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    Open(hardware);
    TGEDDraw& display = *Veke->Engine->Display;
    FillFrame(display, kGrey);
    // A GDI colour is 0x00BBGGRR: 0x0000FF is red, 0x00FFFF yellow.
    display.TextOut(20, 30, "0#0", 0x0000FF);
    EXPECT_EQ(At(21, 30), kRed);
    EXPECT_EQ(At(26, 42), kRed);
    EXPECT_EQ(At(20, 30), kGrey);  // the cell's blank corner keeps the frame
    EXPECT_EQ(At(27, 35), kGrey);
    EXPECT_EQ(At(35, 35), kGrey);  // '#' is a gap of 8
    EXPECT_EQ(At(36, 35), kRed);
    display.TextOut(636, 475, "0", 0x00FFFF);
    EXPECT_EQ(At(639, 479), 0xFFE0u);
  }
}

TEST(FontFile, NamesAreFoundInTheScriptFolderWhateverTheirCase) {
  TTempFolder temp;
  TScriptFolderScope folder(temp.Path.string());
  const auto copy = temp.Write("res/FONTS16BIT.GER", "x");
  EXPECT_EQ(ResolveFontFile("Res\\Fonts16bit.ger"), copy.string());
  // A name found nowhere comes back as given (with slashes), for the message.
  EXPECT_EQ(ResolveFontFile("Res\\None.ger"), "Res/None.ger");
}

TEST(FontFile, DefaultFontServesEveryFace) {
  TScriptRun run;
  run.Load("");
  TGEFont font(*run.Veke->Engine->Display, VEKE_BINARY_DIR "/Res/Fonts16bit.ger");
  font.SetFace(0);
  EXPECT_EQ(font.TextWidth("FPS:60"), 48);
  for (int32_t face = 1; face < 7; ++face) {
    font.SetFace(face);
    EXPECT_GT(font.LineHeight(), 0) << face;
    // Every mapped glyph has ink: a text of them is wider than its advances alone.
    EXPECT_GT(font.TextWidth("0Aa"), 3) << face;
  }
  EXPECT_TRUE(run.Headless->Messages.empty());
}
}  // namespace
