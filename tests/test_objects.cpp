// Script objects: images, texts and buttons made from their declarations, the commands that
// show and place them, word wrap, and the redraw that erases and draws a section's objects.
#include <gtest/gtest.h>

#include "ObjectSamples.h"
#include "TestSupport.h"
#include "graphics/SE_Sprite.h"

namespace {
using namespace samples;

constexpr uint16_t kBackground = kGrey;
const std::string kGreyClear = "CLEAR($84108410)\n";

// Scripts on an engine whose font is the hand-made file. Pictures: "half.spr" 10 x 10, red on
// its left half and black on its right; "green.spr" 20 x 20 and "blue.spr" 20 x 10, solid; a
// resource file with a solid 4 x 4 red entry.
class Objects : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    WriteFontFile(Temp, "fonts.ger");
    Temp.Write("half.spr", SprBytes(10, 10, [](int32_t x, int32_t) {
                 return x < 5 ? kRed : uint16_t{0};
               }));
    Temp.Write("green.spr", SolidSpr(20, 20, kGreen));
    Temp.Write("blue.spr", SolidSpr(20, 10, kBlue));
    WriteResourceFile((Temp.Path / "pics.ger").string(),
                      {RawEntry("Solid", 4, 4, std::vector<uint16_t>(16, kRed))});
  }
  TVEKE& Play(const std::string& script, bool hardware = false) {
    return Load("CREATEENGINE(640, 480, T, FONTS.GER)\n" + script, hardware);
  }
  template <typename T>
  T& Object(const std::string& name) {
    auto* object = dynamic_cast<T*>(Veke->FindObject(name).get());
    if (!object) throw std::runtime_error("no object " + name);
    return *object;
  }
  TGESprite& Sprite(const std::string& name) { return *Object<TVKImage>(name).Sprite; }
  size_t Warnings(const std::string& text) const {
    size_t count = 0;
    for (const auto& message : Headless->Messages) count += message.find(text) != std::string::npos;
    return count;
  }

  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(Objects, ImagesTakeTheirDeclaration) {
  Play(
      "CREATEIMAGE(pic, , half.spr, 10, 20, FALSE, VISIBLE)\n"
      "CREATEIMAGE(\"Keyed\", , green.spr, -5, 7, TRUE, INVISIBLE)\n"
      "CREATEIMAGE(res, pics.ger, solid, 0, 0, FALSE, TRUE)\n");
  ASSERT_EQ(Section(0).Objects.size(), 3u);
  EXPECT_EQ(Section(0).Objects[0]->Kind, kKindImage);
  EXPECT_EQ(Section(0).Objects[0]->Name, "PIC");
  EXPECT_EQ(Section(0).Objects[1]->Name, "\"Keyed\"");
  TVKImage& pic = Object<TVKImage>("PIC");
  EXPECT_EQ(pic.Sprite->X, 10);
  EXPECT_EQ(pic.Sprite->Y, 20);
  EXPECT_EQ(pic.Sprite->Alpha, 255);
  EXPECT_TRUE(pic.Sprite->Visible);
  EXPECT_FALSE(pic.Transparent);
  EXPECT_EQ(pic.Sprite->Width, 10);
  EXPECT_FALSE(pic.Drawn);
  EXPECT_FALSE(pic.EffectRunning);
  TVKImage& keyed = Object<TVKImage>("\"Keyed\"");
  EXPECT_TRUE(keyed.Transparent);
  EXPECT_FALSE(keyed.Sprite->Visible);
  EXPECT_EQ(keyed.Sprite->X, -5);
  // A resource picture is kept in memory.
  TGESprite& res = Sprite("RES");
  EXPECT_TRUE(res.Loaded);
  EXPECT_TRUE(res.KeepInMemory);
  EXPECT_EQ(res.GetPixel(3, 3), kRed);
  EXPECT_TRUE(Headless->Messages.empty());
}

TEST_F(Objects, LaterImagesAreDrawnOverEarlierOnesAndEveryRedrawErasesThemAll) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    Play(kGreyClear +
             "CREATEIMAGE(under, , green.spr, 100, 100, FALSE, TRUE)\n"
             "CREATEIMAGE(over, , half.spr, 105, 105, TRUE, TRUE)\n"
             "CREATEIMAGE(opaque, , half.spr, 200, 100, FALSE, TRUE)\n"
             "SETIMAGEPOS(under, 300, 300, TRUE)\n",
         hardware);
    Frame();  // the background is cleared: everything is drawn
    EXPECT_EQ(Pixel(101, 101), kGreen);
    EXPECT_EQ(Pixel(107, 107), kRed);
    EXPECT_EQ(Pixel(112, 107), kGreen);  // black is transparent in a keyed image
    EXPECT_EQ(Pixel(202, 102), kRed);
    EXPECT_EQ(Pixel(207, 102), 0u);  // ... and drawn in an opaque one
    EXPECT_EQ(Pixel(215, 102), kBackground);
    Frame();
    EXPECT_EQ(Pixel(101, 101), kBackground);
    EXPECT_EQ(Pixel(112, 107), kBackground);
    EXPECT_EQ(Pixel(107, 107), kRed);
    EXPECT_EQ(Pixel(305, 305), kGreen);
  }
}

TEST_F(Objects, SetImagePosAndShowImageReadTheirParameters) {
  Play(kGreyClear +
       "CREATEIMAGE(pic, , half.spr, 0, 0, FALSE, FALSE)\n"
       "SETIMAGEPOS(pic, 1, 2, TRUE, 100)\n"
       "SETIMAGEPOS(pic, 5, 6, FALSE)\n"
       "SETIMAGEPOS(pic, 7, 8, ON, half)\n"
       "SETIMAGEPOS(pic, $10, nine, TRUE)\n"
       "SHOWIMAGE(pic, FALSE, 30)\n"
       "SHOWIMAGE(pic)\n"
       "SHOWIMAGE(pic, INVISIBLE)\n"
       "SHOWIMAGE(pic, perhaps)\n"
       "SETIMAGEPOS(ghost, 1, 1, TRUE)\n");
  TGESprite& pic = Sprite("PIC");
  const size_t parsed = Headless->Messages.size();  // the line naming "ghost" warned
  Frames(2);
  EXPECT_EQ(pic.X, 1);
  EXPECT_EQ(pic.Y, 2);
  EXPECT_TRUE(pic.Visible);
  EXPECT_EQ(pic.Alpha, 100);
  Frame();  // three parameters leave the alpha alone
  EXPECT_EQ(pic.X, 5);
  EXPECT_EQ(pic.Y, 6);
  EXPECT_FALSE(pic.Visible);
  EXPECT_EQ(pic.Alpha, 100);
  EXPECT_EQ(Pixel(3, 4), kBackground);  // erased where it was
  Frame();  // an alpha that is not a number is opaque, without a warning
  EXPECT_EQ(pic.X, 7);
  EXPECT_TRUE(pic.Visible);
  EXPECT_EQ(pic.Alpha, 255);
  EXPECT_EQ(Pixel(8, 9), kRed);
  EXPECT_EQ(Headless->Messages.size(), parsed);
  Frame();  // a position that is not a number warns and is 0
  EXPECT_EQ(pic.X, 16);
  EXPECT_EQ(pic.Y, 0);
  EXPECT_EQ(pic.Alpha, 255);
  EXPECT_EQ(Warnings("Hibás egész szám effekt paraméter."), 1u);
  Frame();
  EXPECT_FALSE(pic.Visible);
  EXPECT_EQ(pic.Alpha, 30);
  Frame();  // no parameter: an empty boolean is true
  EXPECT_TRUE(pic.Visible);
  EXPECT_EQ(pic.Alpha, 30);
  Frame();
  EXPECT_FALSE(pic.Visible);
  Frame();  // a word of neither list is true as well
  EXPECT_TRUE(pic.Visible);
  Frame();  // no object: nothing happens
  EXPECT_EQ(pic.X, 16);
  EXPECT_EQ(Section(0).CommandIndex, 9);
}

TEST_F(Objects, TextsTakeTheirDeclaration) {
  Temp.Write("notes.txt", "one two\nthree");
  Temp.Write("lines.txt", "x\r\n\r\n\xC3\xA9\n");  // UTF-8, ending with a line end
  Play(
      "CREATETEXT(lit, \"Hello, World\", 10, 20, 400, 50, arial14)\n"
      "CREATETEXT(file, notes.txt, 0, 100, 400, 50, PAPYRUS18)\n"
      "CREATETEXT(quoted, \"x\", 0, 0, 100, 20, \"ARIAL14\")\n"
      "CREATETEXT(empty, \"\", 0, 0, 100, 20, ARIAL14)\n"
      "CREATETEXT(lines, LINES.TXT, 0, 0, 100, 20, ARIAL14)\n");
  TVKText& lit = Object<TVKText>("LIT");
  EXPECT_EQ(Section(0).Objects[0]->Kind, kKindText);
  // The quoted literal keeps its case and its comma and loses its quotes.
  ASSERT_EQ(lit.Lines.size(), 1u);
  EXPECT_EQ(lit.Lines[0], "Hello, World");
  EXPECT_EQ(lit.FontIndex, 1);
  EXPECT_EQ(lit.X, 10);
  EXPECT_EQ(lit.Y, 20);
  EXPECT_EQ(lit.Width, 400);
  EXPECT_EQ(lit.Height, 50);
  EXPECT_EQ(lit.Bounds.Left, 10);
  EXPECT_EQ(lit.Bounds.Top, 20);
  EXPECT_EQ(lit.Bounds.Right, 410);
  EXPECT_EQ(lit.Bounds.Bottom, 70);
  EXPECT_TRUE(lit.Visible);
  EXPECT_FALSE(lit.Drawn);
  // A text file's lines each end with CR LF, the last one too; they do not break lines.
  TVKText& file = Object<TVKText>("FILE");
  ASSERT_EQ(file.Lines.size(), 1u);
  EXPECT_EQ(file.Lines[0], "one two\r\nthree\r\n");
  EXPECT_EQ(file.FontIndex, 4);
  // A quoted font name keeps its quotes and so is no key.
  EXPECT_EQ(Object<TVKText>("QUOTED").FontIndex, 0);
  EXPECT_TRUE(Object<TVKText>("EMPTY").Lines.empty());
  // An empty line counts, a last line end adds none, and UTF-8 becomes code page 1250.
  EXPECT_EQ(Object<TVKText>("LINES").Lines,
            (std::vector<std::string>{"x\r\n\r\n\xE9\r\n"}));
}

TEST_F(Objects, TextFileThatCannotBeReadEndsTheScriptNamingItsLine) {
  try {
    Play("\nCREATETEXT(t, missing.txt, 0, 0, 100, 20, ARIAL14)\n");
    FAIL() << "a missing text file was read";
  } catch (const std::runtime_error& error) {
    EXPECT_TRUE(std::string(error.what()).starts_with("t.vek:3: cannot read the text file"))
        << error.what();
  }
}

// A measure of one unit per byte, so the cuts can be counted by eye.
int32_t Bytes(const std::string& text) { return static_cast<int32_t>(text.size()); }

TEST(WordWrap, WordsEndAtASpaceElseAtACommaAndNeverBreakInside) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(WrapWords("aa bb cc", 6, Bytes), (Lines{"aa bb ", "cc"}));  // 6 fits exactly
  EXPECT_EQ(WrapWords("aa bb cc", 5, Bytes), (Lines{"aa ", "bb cc"}));
  EXPECT_EQ(WrapWords("aa bb cc", 4, Bytes), (Lines{"aa ", "bb ", "cc"}));
  // A first word wider than the box is preceded by an empty line.
  EXPECT_EQ(WrapWords("abcdef g", 4, Bytes), (Lines{"", "abcdef ", "g"}));
  // Without spaces the text is cut after commas; with a space anywhere, only at the space.
  EXPECT_EQ(WrapWords("a,b,c", 4, Bytes), (Lines{"a,b,", "c"}));
  EXPECT_EQ(WrapWords("a,b c", 3, Bytes), (Lines{"", "a,b ", "c"}));
  // Line ends are ordinary bytes of a word.
  EXPECT_EQ(WrapWords("ab\r\ncd ef", 20, Bytes), (Lines{"ab\r\ncd ef"}));
  // A second space is a word of its own.
  EXPECT_EQ(WrapWords("a  b", 2, Bytes), (Lines{"a ", " b"}));
  EXPECT_TRUE(WrapWords("", 10, Bytes).empty());
}

TEST(WordWrap, EachWordIsMeasuredOnceHoweverLongTheText) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += i % 7 ? "word " : "comma,less ";
  size_t measured = 0, calls = 0;
  const auto lines = WrapWords(text, 40, [&](const std::string& part) {
    measured += part.size();
    ++calls;
    return static_cast<int32_t>(part.size());
  });
  EXPECT_EQ(calls, 20000u);  // words, not lines so far
  EXPECT_EQ(measured, text.size());
  size_t total = 0;
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), 40u);
    total += line.size();
  }
  EXPECT_EQ(total, text.size());  // nothing lost or doubled
}

TEST_F(Objects, TextsWrapAsTheirFaceMeasures) {
  Play(
      // "00 " and "11 " are 12 and 14 wide in the sample face: together exactly 26.
      "CREATETEXT(fit, \"00 11 22\", 0, 0, 26, 40, ARIAL14)\n"
      "CREATETEXT(wide, \"3333 0\", 0, 0, 10, 40, ARIAL14)\n"
      // "0," is 6 wide, "1," 7 and "2" 4.
      "CREATETEXT(commas, \"0,1,2\", 0, 0, 12, 40, ARIAL14)\n");
  using Lines = std::vector<std::string>;
  EXPECT_EQ(Object<TVKText>("FIT").Lines, (Lines{"00 11 ", "22"}));
  EXPECT_EQ(Object<TVKText>("WIDE").Lines, (Lines{"", "3333 ", "0"}));
  EXPECT_EQ(Object<TVKText>("COMMAS").Lines, (Lines{"0,", "1,2"}));
}

TEST_F(Objects, TextLinesAreDrawnOneLineHeightApartAndErasedWhenHidden) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    Play(kGreyClear +
             "CREATETEXT(t, \"0 0\", 50, 60, 10, 40, ARIAL14)\n"
             "CREATETEXT(case, \"Hi\", 100, 60, 100, 40, ARIAL24)\n"
             "SHOWTEXT(t, FALSE)\n",
         hardware);
    ASSERT_EQ(Object<TVKText>("T").Lines, (std::vector<std::string>{"0 ", "0"}));
    Frame();
    EXPECT_EQ(Pixel(50, 65), Ink(1, 0));
    EXPECT_EQ(Pixel(50, 70), kBackground);  // the second line's blank corner
    EXPECT_EQ(Pixel(50, 75), Ink(1, 0));    // face 1 lines are 10 high
    EXPECT_EQ(Pixel(50, 80), kBackground);
    // 'H' is glyph 17 (2 columns), 'i' glyph 44 (1 column); 'h' would be glyph 43.
    EXPECT_EQ(Pixel(100, 65), Ink(3, 17));
    EXPECT_EQ(Pixel(103, 65), Ink(3, 44));
    EXPECT_TRUE(Object<TVKText>("T").Drawn);
    Frame();
    EXPECT_FALSE(Object<TVKText>("T").Visible);
    EXPECT_EQ(Pixel(50, 65), kBackground);
    EXPECT_EQ(Pixel(50, 75), kBackground);
    EXPECT_EQ(Pixel(103, 65), Ink(3, 44));
  }
}

TEST_F(Objects, ButtonsTakeTheirDeclaration) {
  Play(kGreyClear +
       "CREATEBUTTON(b, , half.spr, green.spr, , 30, 40, 128, INVISIBLE, DISABLED, next)\n"
       "CREATEBUTTON(zero, , blue.spr, , , 300, 40, 0, VISIBLE, ENABLED, \"Quoted\")\n"
       "CREATEBUTTON(res, pics.ger, solid, , solid, 0, 0, 255, VISIBLE, ENABLED, X)\n");
  TVKButton& b = Object<TVKButton>("B");
  EXPECT_EQ(Section(0).Objects[0]->Kind, kKindButton);
  EXPECT_EQ(b.Button.X(), 30);
  EXPECT_EQ(b.Button.ImgHover->Y, 40);
  EXPECT_EQ(b.Button.ImgDown, nullptr);
  EXPECT_EQ(b.Button.Alpha, 128);
  EXPECT_EQ(b.Button.ImgHover->Alpha, 128);
  EXPECT_FALSE(b.Button.Visible);
  EXPECT_FALSE(b.Button.Enabled);
  EXPECT_EQ(b.TargetSection, "NEXT");
  EXPECT_EQ(b.LastState, kButtonNormal);
  EXPECT_FALSE(b.Drawn);
  EXPECT_EQ(Object<TVKButton>("ZERO").TargetSection, "\"Quoted\"");
  // The buttons are the engine list's, in declaration order.
  ASSERT_EQ(Veke->Buttons->Buttons.size(), 3u);
  EXPECT_EQ(&Object<TVKButton>("RES").Button, Veke->Buttons->Buttons[2].get());
  EXPECT_TRUE(Object<TVKButton>("RES").Button.ImgDown->Loaded);
  // An alpha of 0 leaves a new button's pictures opaque.
  Frame();
  EXPECT_EQ(Pixel(305, 45), kBlue);
  EXPECT_EQ(Pixel(35, 45), kBackground);  // the hidden one
}

TEST_F(Objects, SetButtonLatchesThePressedLookThroughTheStateWatch) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    Play(kGreyClear +
             "CREATEBUTTON(b, , half.spr, green.spr, blue.spr, 100, 100, 255, VISIBLE, ENABLED, X)\n"
             "SETBUTTON(b, DISABLED, VISIBLE, TRUE)\n"
             "SETBUTTON(b, ENABLED, INVISIBLE, FALSE)\n"
             "CLEAR($84108410)\n",
         hardware);
    TGEButton& button = Object<TVKButton>("B").Button;
    Frame();
    EXPECT_EQ(Pixel(102, 102), kRed);
    EXPECT_EQ(Pixel(107, 102), kBackground);
    Frame();
    EXPECT_FALSE(button.Enabled);
    EXPECT_TRUE(button.Down);
    // Held down, the button shows its pressed picture in the same frame.
    EXPECT_EQ(button.State, kButtonDown);
    EXPECT_EQ(Object<TVKButton>("B").LastState, kButtonDown);
    EXPECT_EQ(Pixel(107, 102), kBlue);
    Frame();
    EXPECT_TRUE(button.Enabled);
    EXPECT_FALSE(button.Visible);
    EXPECT_FALSE(button.Down);
    Frame();  // the next redraw leaves it out
    EXPECT_EQ(Pixel(102, 102), kBackground);
  }
}

TEST_F(Objects, FreedButtonStaysInTheListAndIsStillDrawn) {
  Play(kGreyClear +
       "CREATEBUTTON(b, , half.spr, , , 100, 100, 255, VISIBLE, ENABLED, X)\n"
       "CREATEIMAGE(pic, , green.spr, 300, 100, FALSE, TRUE)\n"
       "FREESECTIONCONTROLS\n"
       "CLEAR($001F001F)\n");
  Frame();
  EXPECT_EQ(Pixel(305, 105), kGreen);
  Frames(2);
  EXPECT_TRUE(Section(0).Objects.empty());
  EXPECT_EQ(Veke->Buttons->Buttons.size(), 1u);
  EXPECT_EQ(Pixel(305, 105), kBlue);  // the freed image is gone: the new background shows
  EXPECT_EQ(Pixel(102, 102), kRed);
  EXPECT_EQ(Pixel(107, 102), kBlue);
  EXPECT_EQ(Veke->Buttons->Buttons[0]->ImgCurrent->X, 100);
}

TEST_F(Objects, SetButtonThatShowsOrHidesRedrawsAtOnce) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    Play(kGreyClear +
             "CREATEBUTTON(shown, , half.spr, , , 100, 100, 255, INVISIBLE, ENABLED, X)\n"
             "CREATEBUTTON(hidden, , half.spr, , , 200, 100, 255, VISIBLE, ENABLED, X)\n"
             "CALL(SUB)\n"
             "[SUB]\n"
             "SETBUTTON(shown, ENABLED, VISIBLE, FALSE)\n"
             "SETBUTTON(hidden, ENABLED, INVISIBLE, FALSE)\n",
         hardware);
    Frames(2);
    EXPECT_EQ(Pixel(102, 102), kBackground);
    EXPECT_EQ(Pixel(202, 102), kRed);
    Frames(2);  // the first SETBUTTON, from a section that does not own the button
    EXPECT_EQ(Pixel(102, 102), kRed);
    Frame();
    EXPECT_EQ(Pixel(202, 102), kBackground);  // no ghost left where it was drawn
    EXPECT_EQ(Pixel(102, 102), kRed);
  }
}

// Positions and sizes at the ends of the int32 range draw nothing on screen and keep their
// arithmetic defined; the sanitizer build checks the latter.
TEST_F(Objects, ObjectsAtTheEndsOfTheIntegerRangeDrawNothing) {
  Play(kGreyClear +
       "CREATETEXT(A, \"Hello\", 2147483600, -2147483648, 2147483647, -5, ARIAL14)\n"
       "CREATETEXT(B, \"Hello world\", -2147483648, 2147483647, -2147483648, 2147483647, ARIAL14)\n"
       "CREATEIMAGE(C, , green.spr, 2147483647, -2147483648, TRUE, TRUE)\n"
       "CREATEIMAGE(D, , green.spr, -2147483648, 2147483647, FALSE, TRUE)\n"
       "CREATEBUTTON(E, , half.spr, , , 2147483647, 2147483647, 255, VISIBLE, ENABLED, X)\n"
       "MOVETEXT(A, 2147483647, 10, 40)\n"
       "MOVEIMAGE(C, -2147483648, 2147483647, 40)\n"
       "MOVEBUTTON(E, -2147483648, -2147483648, 40)\n"
       "SETIMAGEPOS(D, 2147483647, 2147483647, TRUE)\n");
  Frames(12);
  EXPECT_EQ(Object<TVKText>("A").X, 2147483647);
  EXPECT_EQ(Object<TVKText>("A").Bounds.Right, 2147483647);
  EXPECT_EQ(Sprite("C").X, -2147483647 - 1);
  EXPECT_EQ(Object<TVKButton>("E").Button.X(), -2147483647 - 1);
  for (int32_t y = 0; y < 480; y += 7)
    for (int32_t x = 0; x < 640; x += 7) ASSERT_EQ(Pixel(x, y), kBackground) << x << "," << y;
}
}  // namespace
