// Buttons: hit tests on the opaque pixels of the current image, the plain, radio and toggle
// state machines, clicks that end the update, hints next to the mouse, opacity, sounds, and
// script buttons clicked through the window's mouse events.
#include <gtest/gtest.h>

#include "ObjectSamples.h"
#include "TestSupport.h"
#include "engine/SE_Controls.h"
#include "engine/SE_Engine.h"

namespace {
using namespace samples;

// A button list of the test's own on an engine whose font is the hand-made file. Buttons are
// 20 x 10: the normal picture red on its left half and transparent on its right half, the
// hover picture green, the third picture blue, all solid.
class ButtonTest : public ::testing::Test, public TScriptRun {
 protected:
  void Open(uint8_t mode, bool hardware = false, bool withFont = true) {
    List.reset();  // it draws on the engine that is about to go
    WriteFontFile(Temp, "fonts.ger");
    Temp.Write("normal.spr", SprBytes(20, 10, [](int32_t x, int32_t) {
                 return x < 10 ? kRed : uint16_t{0};
               }));
    Temp.Write("hover.spr", SolidSpr(20, 10, kGreen));
    Temp.Write("down.spr", SolidSpr(20, 10, kBlue));
    Load("CREATEENGINE(640, 480, T, FONTS.GER)\n", hardware);
    Frame();
    List = std::make_unique<TGEButtonList>(*Veke->Engine->Display, mode, nullptr,
                                           withFont ? Veke->Engine->Font.get() : nullptr);
  }
  TGEButton& Add(int32_t x, int32_t y, bool hover = true, bool down = true) {
    const size_t index = List->Buttons.size();
    TGEButton& button = List->AddButton(
        x, y, "normal.spr", hover ? "hover.spr" : "", down ? "down.spr" : "",
        [this, index](TGEButton&) { ++Entered[index]; },
        [this, index](TGEButton&) {
          ++Clicked[index];
          return ClickResult;
        },
        "");
    return button;
  }
  // The mouse as the frame's snapshot holds it, then one update of the list.
  void Mouse(int32_t x, int32_t y, bool left) {
    MouseSnapshot = TMouseState{};
    MouseSnapshot.X = x;
    MouseSnapshot.Y = y;
    MouseSnapshot.Left = left;
    List->Update(false);
  }
  void Click(int32_t x, int32_t y) {
    Mouse(x, y, true);
    Mouse(x, y, false);
  }
  uint32_t At(int32_t x, int32_t y) { return FramePixel(*Veke->Engine->Display, x, y); }

  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
  std::string SoundLog;  // outlives the list, whose buttons stop their sounds when freed
  std::unique_ptr<TGEButtonList> List;
  int Entered[4] = {}, Clicked[4] = {};
  bool ClickResult = false;
};

TEST_F(ButtonTest, OnlyOpaquePixelsOfTheCurrentImageAreOverTheButton) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    Entered[0] = 0;
    Open(kButtonsPlain, hardware);
    TGEButton& button = Add(100, 100);
    Mouse(115, 105, false);  // over the transparent half of the normal picture
    EXPECT_EQ(button.State, kButtonNormal);
    EXPECT_EQ(List->HoverIndex, -1);
    Mouse(105, 105, false);
    EXPECT_EQ(button.State, kButtonHover);
    EXPECT_EQ(button.ImgCurrent, button.ImgHover.get());
    EXPECT_EQ(List->HoverIndex, 0);
    EXPECT_EQ(Entered[0], 1);
    // The hover picture is solid, and the picture shown is what is hit-tested.
    Mouse(115, 105, false);
    EXPECT_EQ(button.State, kButtonHover);
    EXPECT_EQ(Entered[0], 1);
    Mouse(120, 105, false);  // right edge excluded
    EXPECT_EQ(button.State, kButtonNormal);
    EXPECT_EQ(button.ImgCurrent, button.ImgNormal.get());
    Mouse(100, 100, false);  // top-left corner included
    EXPECT_EQ(button.State, kButtonHover);
    Mouse(100, 110, false);  // bottom edge excluded
    EXPECT_EQ(button.State, kButtonNormal);

    // Outside the picture there is no pixel to hit.
    TGESprite& normal = *button.ImgNormal;
    EXPECT_EQ(normal.GetPixel(0, 0), kRed);
    EXPECT_EQ(normal.GetPixel(-1, 0), 0u);
    EXPECT_EQ(normal.GetPixel(20, 0), 0u);
    EXPECT_EQ(normal.GetPixel(0, 10), 0u);
    EXPECT_EQ(normal.GetPixel(5, -1), 0u);

    // A disabled button is never under the mouse; a hidden one is not looked at at all.
    button.Enabled = false;
    Mouse(105, 105, false);
    EXPECT_EQ(button.State, kButtonNormal);
    button.Enabled = true;
    button.Visible = false;
    button.State = kButtonHover;
    Mouse(300, 300, false);
    EXPECT_EQ(button.State, kButtonHover);
  }
}

TEST_F(ButtonTest, PlainClickCompletesWhenReleasedInside) {
  Open(kButtonsPlain);
  TGEButton& button = Add(100, 100);
  TGEButton& beneath = Add(100, 100);
  // Coming in with the button down presses in one update; the press is taken from the
  // snapshot so the button beneath sees only a hovering mouse.
  Mouse(105, 105, true);
  EXPECT_EQ(button.State, kButtonPressed);
  EXPECT_EQ(button.ImgCurrent, button.ImgDown.get());
  EXPECT_FALSE(MouseSnapshot.Left);
  EXPECT_EQ(beneath.State, kButtonHover);
  EXPECT_EQ(Clicked[0], 0);
  Mouse(105, 105, true);  // held: still pressed, no click
  EXPECT_EQ(Clicked[0], 0);
  Mouse(105, 105, false);
  EXPECT_EQ(Clicked[0], 1);
  EXPECT_EQ(button.State, kButtonHover);
  EXPECT_EQ(button.ImgCurrent, button.ImgHover.get());
  EXPECT_EQ(Clicked[1], 0);

  // Pressed, dragged out and released outside: no click.
  Mouse(105, 105, true);
  Mouse(50, 50, true);
  EXPECT_EQ(button.State, kButtonNormal);
  Mouse(50, 50, false);
  Mouse(105, 105, false);
  EXPECT_EQ(Clicked[0], 1);
  EXPECT_EQ(button.State, kButtonHover);
}

TEST_F(ButtonTest, ClickThatChangesTheScreenEndsThePlainUpdate) {
  for (bool result : {true, false}) {
    SCOPED_TRACE(result ? "handler returns true" : "handler returns false");
    Open(kButtonsPlain);
    ClickResult = result;
    TGEButton& button = Add(100, 100);
    TGEButton& later = Add(300, 300);
    button.Hint = "00";
    button.HintFace = 1;
    Mouse(105, 105, true);
    later.State = kButtonHover;  // as a previous frame left it
    FillFrame(*Veke->Engine->Display, 0);
    Mouse(105, 105, false);
    EXPECT_EQ(button.State, kButtonHover);
    // The hint would stand at 105 + 20 + 1 = 126, one line below the mouse.
    if (result) {
      EXPECT_EQ(later.State, kButtonHover);
      EXPECT_EQ(List->HoverIndex, -1);
      EXPECT_EQ(button.ImgCurrent, button.ImgDown.get());  // not chosen again either
      EXPECT_EQ(At(126, 108), 0u);
    } else {
      EXPECT_EQ(later.State, kButtonNormal);
      EXPECT_EQ(List->HoverIndex, 0);
      EXPECT_EQ(At(126, 108), Ink(1, 0));
    }
  }
}

TEST_F(ButtonTest, RadioGroupLatchesOneButtonAtATime) {
  Open(kButtonsRadio);
  TGEButton& a = Add(100, 100);
  TGEButton& b = Add(200, 100);
  TGEButton& hidden = Add(300, 100);
  hidden.Down = true;
  hidden.State = kButtonDown;
  hidden.Visible = false;

  Click(105, 105);
  EXPECT_EQ(Clicked[0], 1);
  EXPECT_EQ(a.State, kButtonDown);
  EXPECT_TRUE(a.Down);
  EXPECT_EQ(a.ImgCurrent, a.ImgDown.get());
  // Every other button lets go, hidden or not.
  EXPECT_FALSE(hidden.Down);
  EXPECT_EQ(hidden.State, kButtonNormal);
  // A latched button cannot be pressed again, inside or out.
  Click(105, 105);
  EXPECT_EQ(Clicked[0], 1);
  EXPECT_EQ(a.State, kButtonDown);
  Mouse(50, 50, false);
  EXPECT_EQ(a.State, kButtonDown);
  EXPECT_EQ(a.ImgCurrent, a.ImgDown.get());

  Click(205, 105);
  EXPECT_EQ(Clicked[1], 1);
  EXPECT_EQ(b.State, kButtonDown);
  EXPECT_FALSE(a.Down);
  EXPECT_EQ(a.State, kButtonNormal);
  Mouse(50, 50, false);
  EXPECT_EQ(a.ImgCurrent, a.ImgNormal.get());
  EXPECT_EQ(b.State, kButtonDown);
}

TEST_F(ButtonTest, ToggleButtonsCheckAndUncheck) {
  Open(kButtonsToggle);
  ClickResult = true;  // only a plain list stops its update for the handler
  TGEButton& button = Add(100, 100);
  // In a toggle list the third picture is the checked look.
  EXPECT_EQ(button.ImgDown, nullptr);
  ASSERT_NE(button.ImgChecked, nullptr);

  Mouse(105, 105, false);
  EXPECT_EQ(Entered[0], 1);
  Click(105, 105);
  EXPECT_EQ(Clicked[0], 1);
  EXPECT_TRUE(button.Down);
  // Checked and at once under the mouse again: entered a second time.
  EXPECT_EQ(button.State, kButtonHover);
  EXPECT_EQ(Entered[0], 2);
  EXPECT_EQ(button.ImgCurrent, button.ImgChecked.get());
  Mouse(50, 50, false);
  EXPECT_EQ(button.State, kButtonChecked);
  EXPECT_EQ(button.ImgCurrent, button.ImgChecked.get());
  Mouse(105, 105, false);
  EXPECT_EQ(button.State, kButtonHover);
  EXPECT_EQ(Entered[0], 3);

  Click(105, 105);  // the second click unchecks
  EXPECT_EQ(Clicked[0], 2);
  EXPECT_FALSE(button.Down);
  EXPECT_EQ(button.State, kButtonHover);
  // A toggle button shows no hover picture.
  EXPECT_EQ(button.ImgCurrent, button.ImgNormal.get());
  Mouse(50, 50, false);
  EXPECT_EQ(button.State, kButtonNormal);
}

TEST_F(ButtonTest, HintFollowsTheMouseButStaysInsideTheRightEdge) {
  Open(kButtonsPlain);
  TGEButton& middle = Add(100, 100);
  TGEButton& right = Add(620, 100);
  TGEButton& bottom = Add(300, 470);
  for (TGEButton* b : {&middle, &right, &bottom}) b->Hint = "00";
  // The default hint face is 2, where "00" is 2 + 2 pixels wide.
  EXPECT_EQ(middle.HintFace, 2);
  TGEDDraw& display = *Veke->Engine->Display;

  FillFrame(display, 0);
  Mouse(105, 105, false);
  EXPECT_EQ(At(126, 107), Ink(2, 0));  // x 105 + 20 + 1, y 105 + 1 (its corner is blank)
  EXPECT_EQ(At(127, 107), 0u);
  EXPECT_EQ(At(128, 107), Ink(2, 0));
  EXPECT_EQ(At(126, 117), Ink(2, 0));
  EXPECT_EQ(At(126, 118), 0u);

  // 625 + 21 + 4 would pass 640: the hint moves to 640 - 4 - 20.
  FillFrame(display, 0);
  Mouse(625, 105, false);
  EXPECT_EQ(right.State, kButtonHover);
  EXPECT_EQ(At(616, 107), Ink(2, 0));
  EXPECT_EQ(At(618, 107), Ink(2, 0));
  EXPECT_EQ(At(615, 107), 0u);
  EXPECT_EQ(At(619, 107), 0u);

  // At the bottom it is not moved: it is cut.
  FillFrame(display, 0);
  Mouse(305, 475, false);
  EXPECT_EQ(bottom.State, kButtonHover);
  EXPECT_EQ(At(326, 477), Ink(2, 0));
  EXPECT_EQ(At(326, 479), Ink(2, 0));
  EXPECT_EQ(At(326, 475), 0u);
}

// Buttons and the mouse at the ends of the int32 range: hit tests see only the opaque
// pixels, and a hint that would pass the right edge is moved back inside it as usual.
TEST_F(ButtonTest, HitTestsAndHintsAtTheEndsOfTheInt32Range) {
  constexpr int32_t kMax = INT32_MAX, kMin = INT32_MIN;
  for (bool withFont : {true, false}) {
    SCOPED_TRACE(withFont ? "font hint" : "display hint");
    Open(kButtonsPlain, false, withFont);
    TGEButton& farLeft = Add(kMin, kMin);
    TGEButton& farRight = Add(kMax - 19, 100);
    farRight.Hint = "00";
    for (auto [x, y] : {std::pair{105, 105}, {kMax, kMax}, {kMin + 15, kMin + 5}}) {
      Mouse(x, y, false);
      EXPECT_EQ(farLeft.State, kButtonNormal) << x << "," << y;
    }
    Mouse(kMin + 5, kMin + 5, false);
    EXPECT_EQ(farLeft.State, kButtonHover);
    Mouse(-100, 105, false);
    EXPECT_EQ(farRight.State, kButtonNormal);

    TGEDDraw& display = *Veke->Engine->Display;
    FillFrame(display, kGrey);
    Mouse(kMax - 15, 105, false);  // over the red half of the far right button
    EXPECT_EQ(farRight.State, kButtonHover);
    if (withFont) {
      // "00" in face 2 is 4 pixels wide: 640 - 4 - 20.
      EXPECT_EQ(At(616, 107), Ink(2, 0));
      EXPECT_EQ(At(615, 107), kGrey);
    } else {
      // The display's text goes at the mouse, which no part of the screen is near.
      for (int32_t y = 0; y < 480; ++y)
        for (int32_t x = 0; x < 640; ++x) ASSERT_EQ(At(x, y), kGrey) << x << "," << y;
    }
  }
}

TEST_F(ButtonTest, HintWithoutAFontIsDisplayTextWithAShadow) {
  Open(kButtonsPlain, false, false);
  TGEButton& button = Add(100, 100);
  button.Hint = "0";
  FillFrame(*Veke->Engine->Display, kGrey);
  Mouse(105, 105, false);
  // The default colour 0xFFFF as a GDI colour is yellow, drawn at (125, 105) over a black
  // copy at (126, 106); the cells are 7 x 13 with a blank top-left corner.
  EXPECT_EQ(At(125, 110), 0xFFE0u);
  EXPECT_EQ(At(131, 117), 0xFFE0u);
  EXPECT_EQ(At(126, 106), 0xFFE0u);
  EXPECT_EQ(At(132, 110), 0u);
  EXPECT_EQ(At(131, 118), 0u);
  EXPECT_EQ(At(125, 105), kGrey);
  EXPECT_EQ(At(133, 110), kGrey);
}

TEST_F(ButtonTest, OpacityAndPositionReachEveryImage) {
  Open(kButtonsPlain);
  TGEButton& button = Add(10, 20);
  EXPECT_EQ(button.Alpha, 0);
  // Alpha starts at 0 while the images are opaque: asking for 0 changes nothing.
  button.SetAlpha(0);
  for (TGESprite* image : button.Images()) EXPECT_EQ(image->Alpha, 255);
  button.SetAlpha(128);
  EXPECT_EQ(button.Images().size(), 3u);
  for (TGESprite* image : button.Images()) EXPECT_EQ(image->Alpha, 128);
  button.SetAlpha(300);
  EXPECT_EQ(button.Alpha, 255);
  button.SetAlpha(-7);
  EXPECT_EQ(button.Alpha, 0);
  for (TGESprite* image : button.Images()) EXPECT_EQ(image->Alpha, 0);

  button.SetX(50);
  button.SetY(60);
  for (TGESprite* image : button.Images()) {
    EXPECT_EQ(image->X, 50);
    EXPECT_EQ(image->Y, 60);
  }
  EXPECT_EQ(button.X(), 50);
  // Pictures left out are not loaded; the index is the place in the list.
  TGEButton& plain = Add(0, 0, false, false);
  EXPECT_EQ(plain.ImgHover, nullptr);
  EXPECT_EQ(plain.ImgDown, nullptr);
  EXPECT_EQ(plain.Index, 1);
}

TEST_F(ButtonTest, DrawAllShowsTheCurrentImageOfVisibleButtons) {
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    Open(kButtonsPlain, hardware);
    TGEButton& shown = Add(100, 100);
    TGEButton& hidden = Add(200, 100);
    hidden.Visible = false;
    FillFrame(*Veke->Engine->Display, kGrey);
    List->DrawAll();
    EXPECT_EQ(At(105, 105), kRed);
    EXPECT_EQ(At(115, 105), kGrey);  // keyed
    EXPECT_EQ(At(205, 105), kGrey);
    Mouse(105, 105, false);
    List->DrawAll();
    EXPECT_EQ(At(115, 105), kGreen);
    // A list that is switched off neither updates nor draws.
    List->Enabled = false;
    FillFrame(*Veke->Engine->Display, kGrey);
    Mouse(50, 50, false);
    EXPECT_EQ(shown.State, kButtonHover);
    List->DrawAll();
    EXPECT_EQ(At(105, 105), kGrey);
  }
}

// A sound that records what the list asks of it.
struct TFakeSound : TButtonSound {
  explicit TFakeSound(std::string* log, std::string name) : Log(log), Name(std::move(name)) {}
  bool Playing() const override { return IsPlaying; }
  void Stop() override {
    IsPlaying = false;
    *Log += "stop " + Name + ";";
  }
  void Rewind() override { *Log += "rewind " + Name + ";"; }
  void Play() override {
    IsPlaying = true;
    *Log += "play " + Name + ";";
  }
  std::string* Log;
  std::string Name;
  bool IsPlaying = false;
};

TEST_F(ButtonTest, HoverSoundsStartOnEntryAndStopTheOthers) {
  Open(kButtonsPlain);
  std::string& log = SoundLog;
  List->Sound = [&log](const std::string& file) {
    return std::make_unique<TFakeSound>(&log, file);
  };
  TGEButton& a = List->AddButton(100, 100, "normal.spr", "", "", nullptr, nullptr, "a");
  List->AddButton(200, 100, "normal.spr", "", "", nullptr, nullptr, "b");
  TGEButton& silent = List->AddButton(300, 100, "normal.spr", "", "", nullptr, nullptr, "");
  EXPECT_EQ(silent.HoverSound, nullptr);
  Mouse(105, 105, false);
  EXPECT_EQ(log, "stop b;rewind a;play a;");
  EXPECT_TRUE(a.HoverSoundPlayed);
  log.clear();
  Mouse(205, 105, false);
  EXPECT_FALSE(a.HoverSoundPlayed);
  EXPECT_EQ(log, "stop a;rewind b;play b;");
  log.clear();
  Mouse(105, 105, false);  // b still plays: a is started again and b stopped
  EXPECT_EQ(log, "stop b;rewind a;play a;");
  log.clear();
  Mouse(50, 50, false);
  Mouse(105, 105, false);  // a is still playing: not started again
  EXPECT_EQ(log, "");

  List->ClickSound = std::make_unique<TFakeSound>(&log, "click");
  Click(105, 105);
  EXPECT_EQ(log, "rewind click;play click;");
}

// Script buttons: the window's mouse events reach them through the engine's frames.
class ScriptButtons : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    Temp.Write("b.spr", SprBytes(20, 10, [](int32_t x, int32_t) {
                 return x < 10 ? kRed : uint16_t{0};
               }));
  }
  // Pressed at `at`, released one frame later.
  void Click(int32_t x, int32_t y, uint32_t at) {
    Headless->Schedule(at, THostEventType::MouseDown, x, y, true);
    Headless->Schedule(at + 20, THostEventType::MouseUp, x, y, false);
  }
  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(ScriptButtons, ClickOnAnOpaquePixelEntersTheTargetSection) {
  Load(
      "CREATEBUTTON(go, , b.spr, , , 100, 100, 255, VISIBLE, ENABLED, next)\n"
      "WAITFOR(go)\n"
      "[NEXT]\n"
      "SHOWFPS\n");
  // A click on the transparent half does nothing.
  Click(115, 105, 100);
  Click(105, 105, 200);
  while (Frame() < 200) {
  }
  EXPECT_EQ(Veke->CurrentSection, &Section(0));
  EXPECT_EQ(Section(0).CommandIndex, 0);
  EXPECT_EQ(Frame(), 220u);  // released: the click completes in this frame
  EXPECT_EQ(Veke->CurrentSection, &Section(1));
  EXPECT_EQ(Veke->CallStack.size(), 1u);
  EXPECT_FALSE(Veke->Engine->ShowFPS);
  Frame();  // the section entered starts at its first command in the next frame
  EXPECT_TRUE(Veke->Engine->ShowFPS);
}

TEST_F(ScriptButtons, ReturnButtonResumesTheCallerWhichWaitsAgain) {
  Load(
      "CALL(menu)\n"
      "WAITFOR(nothing)\n"
      "[MENU]\n"
      "CREATEBUTTON(back, , b.spr, , , 100, 100, 255, VISIBLE, ENABLED, return)\n"
      "CREATEBUTTON(off, , b.spr, , , 200, 100, 255, VISIBLE, DISABLED, NOWHERE)\n"
      "WAITFOR(back)\n");
  // The target is trimmed and compared without regard to case.
  auto* back = dynamic_cast<TVKButton*>(Veke->FindObject("BACK").get());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->TargetSection, "RETURN");
  back->TargetSection = " Return ";
  Click(205, 105, 100);  // a disabled button takes no click
  Click(105, 105, 200);
  while (Frame() < 200) {
  }
  EXPECT_EQ(Veke->CurrentSection, &Section(1));
  Frame();
  EXPECT_EQ(Veke->CurrentSection, &Section(0));
  EXPECT_EQ(Section(1).CommandIndex, -1);
  EXPECT_TRUE(Veke->CallStack.empty());
  Frames(3);
  EXPECT_EQ(Section(0).CommandIndex, 1);  // CALL was done; the wait after it holds
  EXPECT_EQ(Veke->CurrentSection, &Section(0));
}

TEST_F(ScriptButtons, ButtonOfAnotherSectionIsDrawnButClicksNowhere) {
  Load(
      "CLEAR($84108410)\n"
      "CREATEBUTTON(stay, , b.spr, , , 100, 100, 255, VISIBLE, ENABLED, OTHER)\n"
      "CALL(SUB)\n"
      "[SUB]\n"
      "CLEAR(BLACK)\n"
      "WAITFOR(stay)\n"
      "[OTHER]\n"
      "NOTHING\n");
  Click(105, 105, 200);
  Frames(3);
  EXPECT_EQ(Veke->CurrentSection, &Section(1));
  EXPECT_EQ(Pixel(105, 105), kRed);  // the list draws every section's buttons
  while (Frame() < 300) {
  }
  EXPECT_EQ(Veke->CurrentSection, &Section(1));
  EXPECT_EQ(Veke->CallStack.size(), 1u);
}
}  // namespace
