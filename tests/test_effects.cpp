// Timed effects: moves and fades of images, buttons and texts over engine time, their
// rounding, their ends and the waits on them, one effect per object at a time, and the
// opacity rule that keeps bit 1 clear.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "ObjectSamples.h"
#include "TestSupport.h"
#include "graphics/SE_Sprite.h"

namespace {
using namespace samples;

const std::string kEngine = "CREATEENGINE(640, 480, T, FONTS.GER)\n";
const std::string kGreyClear = "CLEAR($84108410)\n";

class Effects : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    WriteFontFile(Temp, "fonts.ger");
    Temp.Write("green.spr", SolidSpr(20, 20, kGreen));
    Temp.Write("blue.spr", SolidSpr(20, 10, kBlue));
  }
  TVEKE& Play(const std::string& script) { return Load(kEngine + script); }
  template <typename T>
  T& Object(const std::string& name) {
    auto* object = dynamic_cast<T*>(Veke->FindObject(name).get());
    if (!object) throw std::runtime_error("no object " + name);
    return *object;
  }
  TGESprite& Sprite(const std::string& name) { return *Object<TVKImage>(name).Sprite; }
  TVKCommand& Command(size_t index, size_t section = 0) {
    return *Section(section).Commands[index];
  }
  // Runs frames up to and including the one at `ms` of play.
  void RunTo(uint32_t ms) {
    while (Frame() < ms) {
    }
  }

  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(Effects, MoveLandsOnItsTargetWithoutOvershootAndEndsTheWaitInThatFrame) {
  Headless->StepMs = 30;
  Play(
      "CREATEIMAGE(img, , green.spr, 0, 0, FALSE, TRUE)\n"
      "MOVEIMAGE(img, 100, 0, 1000)\n"
      "WAITFOR(img)\n"
      "NOTHING\n");
  TGESprite& img = Sprite("IMG");
  EXPECT_EQ(Frame(), 0u);  // executed: active from the next frame on
  EXPECT_TRUE(Command(0).Active);
  EXPECT_FALSE(Command(0).Started);
  EXPECT_EQ(Frame(), 30u);  // started: nothing moves yet
  EXPECT_TRUE(Command(0).Started);
  EXPECT_TRUE(Object<TVKImage>("IMG").EffectRunning);
  EXPECT_EQ(img.X, 0);
  // 0.1 pixel per millisecond from 30 ms on; every frame adds 3 pixels.
  for (;;) {
    const uint32_t at = Frame();
    const uint32_t elapsed = at - 30;
    ASSERT_LE(img.X, 100);
    EXPECT_EQ(img.Y, 0);
    if (elapsed < 1000) {
      ASSERT_EQ(img.X, static_cast<int32_t>(elapsed / 10)) << at;
      ASSERT_EQ(Section(0).CommandIndex, 1) << at;
      continue;
    }
    // 1020 ms after the start the exact value is past the target: it stops there.
    EXPECT_EQ(elapsed, 1020u);
    EXPECT_EQ(img.X, 100);
    EXPECT_FALSE(Command(0).Active);
    EXPECT_TRUE(Command(0).Started);
    EXPECT_FALSE(Object<TVKImage>("IMG").EffectRunning);
    EXPECT_EQ(Section(0).CommandIndex, 2);
    break;
  }
  Frames(3);
  EXPECT_EQ(img.X, 100);
}

TEST_F(Effects, MovesAndFadesTowardSmallerValuesStopOnTheirTargetsAndEndTheirWaits) {
  Headless->StepMs = 30;
  Play(
      "CREATEIMAGE(img, , green.spr, 100, 100, FALSE, TRUE)\n"
      "CREATEIMAGE(fade, , blue.spr, 300, 0, FALSE, TRUE)\n"
      "MOVEIMAGE(img, 0, 50, 1000)\n"
      "IMAGEALPHA(fade, 10, 290)\n"
      "WAITFOR(fade)\n"
      "WAITFOR(img)\n"
      "NOTHING\n");
  TGESprite& img = Sprite("IMG");
  TGESprite& fade = Sprite("FADE");
  // The move runs from 30 ms, the fade from 60 ms. The exact values of the last frame of
  // each lie past the target: the move's 2 pixels to the left and 1 up, the fade's 8.4 below.
  std::map<uint32_t, int32_t> waitAt;
  for (uint32_t at = 0; at < 1200;) {
    at = Frame();
    ASSERT_GE(img.X, 0) << at;
    ASSERT_GE(img.Y, 50) << at;
    ASSERT_GE(fade.Alpha, 8) << at;
    waitAt.emplace(at, Section(0).CommandIndex);
  }
  EXPECT_EQ(waitAt[330], 2);
  EXPECT_EQ(waitAt[360], 3);
  EXPECT_EQ(fade.Alpha, 8);  // 10 with bit 1 cleared
  EXPECT_EQ(waitAt[1020], 3);
  EXPECT_EQ(waitAt[1050], 4);
  EXPECT_EQ(img.X, 0);
  EXPECT_EQ(img.Y, 50);
  EXPECT_FALSE(Command(0).Active);
  EXPECT_FALSE(Command(1).Active);
  EXPECT_FALSE(Object<TVKImage>("IMG").EffectRunning);
  EXPECT_FALSE(Object<TVKImage>("FADE").EffectRunning);
}

TEST_F(Effects, HalvesRoundToTheEvenNeighbourOnBothSides) {
  Headless->StepMs = 10;
  // A quarter of a pixel per millisecond: every frame adds exactly 2.5.
  Play(
      "CREATEIMAGE(right, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(left, , green.spr, 0, 100, FALSE, TRUE)\n"
      "MOVEIMAGE(right, 100, 0, 400)\n"
      "MOVEIMAGE(left, -100, 100, 400)\n");
  Frames(2);  // "right" started at 10 ms; "left" starts in the next frame
  const std::vector<int32_t> right = {2, 5, 8, 10, 12, 15, 18, 20};
  const std::vector<int32_t> left = {-2, -5, -8, -10, -12, -15, -18};
  std::vector<int32_t> seenRight, seenLeft;
  for (int i = 0; i < 8; ++i) {
    Frame();
    seenRight.push_back(Sprite("RIGHT").X);
    if (i > 0) seenLeft.push_back(Sprite("LEFT").X);
  }
  EXPECT_EQ(seenRight, right);
  EXPECT_EQ(seenLeft, left);
}

TEST_F(Effects, SecondMoveOnOneImageWaitsAndStartsWhereTheFirstEnded) {
  Play(
      "CREATEIMAGE(img, , green.spr, 0, 0, FALSE, TRUE)\n"
      "MOVEIMAGE(img, 100, 0, 200)\n"
      "MOVEIMAGE(img, 100, 50, 100)\n"
      "WAITFOR(img)\n"
      "NOTHING\n");
  TGESprite& img = Sprite("IMG");
  RunTo(200);
  EXPECT_EQ(img.X, 90);
  EXPECT_TRUE(Command(1).Active);
  EXPECT_FALSE(Command(1).Started);
  EXPECT_EQ(Frame(), 220u);  // the first ends; the second starts later in the same pass
  EXPECT_EQ(img.X, 100);
  EXPECT_EQ(img.Y, 0);
  EXPECT_FALSE(Command(0).Active);
  EXPECT_TRUE(Command(1).Started);
  EXPECT_TRUE(Object<TVKImage>("IMG").EffectRunning);
  EXPECT_EQ(Section(0).CommandIndex, 2);  // the wait goes on: the image is busy again
  Frame();
  EXPECT_EQ(img.X, 100);
  EXPECT_EQ(img.Y, 10);
  RunTo(300);
  EXPECT_EQ(img.Y, 40);
  EXPECT_EQ(Section(0).CommandIndex, 2);
  EXPECT_EQ(Frame(), 320u);
  EXPECT_EQ(img.Y, 50);
  EXPECT_EQ(Section(0).CommandIndex, 3);
}

// A page whose move runs again on its second visit: with RESETSECTION it starts from where
// the image is now toward its target and takes its time; without, it lands at once; and an
// image that FREE has freed is made again from its declaration.
TEST_F(Effects, OnASecondVisitEffectsStartAfreshOnlyWithResetSection) {
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "with RESETSECTION" : "without");
    Play(std::string("CALL(PAGE)\nCALL(PAGE)\nWAIT(100000)\n") +
         "[PAGE]\n"
         "CREATEIMAGE(mover, , green.spr, 0, 0, TRUE, TRUE)\n"
         "CREATEIMAGE(gone, , blue.spr, 0, 100, TRUE, TRUE)\n"
         "CREATEBUTTON(knob, , blue.spr, , , 300, 300, 255, VISIBLE, ENABLED, RETURN)\n" +
         (reset ? "RESETSECTION\n" : "") +
         "SETIMAGEPOS(mover, 0, 0, TRUE)\n"
         "MOVEIMAGE(mover, 200, 0, 400)\n"
         "WAITFOR(mover)\n"
         "FREE(gone)\n"
         "FREE(knob)\n"
         "RETURN\n");
    TVKSection& page = *Veke->FindSection("PAGE");
    // The first visit ends with the move done and "gone" freed.
    while (Veke->CurrentSection != &page) Frame();
    while (Veke->CurrentSection == &page) Frame();
    EXPECT_EQ(page.Objects.size(), 1u);
    // Second visit: the frame 200 ms after the move began.
    while (Veke->CurrentSection != &page) Frame();
    const uint32_t entered = Frame();
    while (page.CommandIndex < (reset ? 3 : 2)) Frame();
    for (uint32_t at = Frame(); at < entered + 240;) at = Frame();
    EXPECT_NEAR(Sprite("MOVER").X, reset ? 100 : 200, reset ? 12 : 0);
    // Made again in their places among the section's objects, as declared; the button takes
    // back the engine button it left behind.
    ASSERT_EQ(page.Objects.size(), reset ? 3u : 1u);
    if (reset) {
      EXPECT_EQ(page.Objects[1]->Name, "GONE");
      EXPECT_EQ(&dynamic_cast<TVKButton&>(*page.Objects[2]->Obj).Button,
                Veke->Buttons->Buttons[0].get());
    }
    EXPECT_EQ(Veke->Buttons->Buttons.size(), 1u);
  }
}

TEST_F(Effects, EffectsOnTwoImagesRunSideBySide) {
  Play(
      "CREATEIMAGE(a, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(b, , green.spr, 0, 100, FALSE, TRUE)\n"
      "MOVEIMAGE(a, 100, 0, 100)\n"
      "IMAGEALPHA(b, 55, 200)\n"
      "WAITFOR(b)\n"
      "NOTHING\n");
  TGESprite& a = Sprite("A");
  TGESprite& b = Sprite("B");
  RunTo(40);  // a started at 20, b at 40
  for (uint32_t at = 60; at <= 240; at += 20) {
    ASSERT_EQ(Frame(), at);
    EXPECT_EQ(a.X, std::min<int32_t>(100, static_cast<int32_t>(at - 20))) << at;
    // One step of opacity per millisecond, and below 255 bit 1 is cleared.
    EXPECT_EQ(b.Alpha, static_cast<int32_t>((255 - (at - 40)) & 253)) << at;
  }
  EXPECT_EQ(b.Alpha, 53);  // 55 with bit 1 cleared
  EXPECT_FALSE(Command(1).Active);
  EXPECT_EQ(Section(0).CommandIndex, 3);
}

TEST_F(Effects, FadesEndOnTheirTargetWithBit1Cleared) {
  Play(
      "CREATEIMAGE(a, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(b, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(c, , green.spr, 0, 0, FALSE, TRUE)\n"
      "SETIMAGEPOS(c, 0, 0, TRUE, 100)\n"
      "IMAGEALPHA(a, 200, 100)\n"
      "IMAGEALPHA(b, 203, 100)\n"
      "IMAGEALPHA(c, 255, 130)\n"
      "WAITFOR(a)\nWAITFOR(b)\nWAITFOR(c)\nNOTHING\n");
  for (int i = 0; i < 20; ++i) {
    Frame();
    for (const char* name : {"A", "B", "C"}) {
      const int32_t alpha = Sprite(name).Alpha;
      EXPECT_TRUE(alpha == 255 || (alpha & 2) == 0) << name << " " << alpha;
    }
  }
  EXPECT_EQ(Sprite("A").Alpha, 200);
  EXPECT_EQ(Sprite("B").Alpha, 201);
  EXPECT_EQ(Sprite("C").Alpha, 255);
  for (size_t i = 1; i <= 3; ++i) EXPECT_FALSE(Command(i).Active) << i;
  EXPECT_EQ(Section(0).CommandIndex, 8);  // no wait held: the section has finished
}

TEST_F(Effects, AFadeDownThatTheMaskBringsToItsTargetEarlyStillEndsItsWait) {
  // From 255 to 120 over 1200 ms the fade passes 122, which the mask turns into 120: the
  // target is reached one frame before the fade itself arrives there.
  Play(
      "CREATEIMAGE(a, , green.spr, 0, 0, FALSE, TRUE)\n"
      "IMAGEALPHA(a, 120, 1200)\n"
      "WAITFOR(a)\nNOTHING\n");
  RunTo(1400);
  EXPECT_EQ(Sprite("A").Alpha, 120);
  EXPECT_FALSE(Command(0).Active);
  EXPECT_FALSE(Object<TVKImage>("A").EffectRunning);
  EXPECT_EQ(Section(0).CommandIndex, 3);  // the wait let go and the section has finished
}

TEST_F(Effects, SlowEffectRedrawsOnlyWhenAValueChangesButAnAlphaWithBit1EveryFrame) {
  Play(
      "CREATEIMAGE(img, , green.spr, 0, 0, FALSE, TRUE)\n"
      "IMAGEALPHA(img, 250, 10000)\n");
  TVKImage& img = Object<TVKImage>("IMG");
  // Drawn is set again only by a redraw.
  Veke->Engine->OnAfterFrame = [this, &img](int32_t elapsed) {
    img.Drawn = false;
    Veke->Step(elapsed);
  };
  Frames(2);  // started at 20 ms; each later frame takes 0.01 off the exact opacity
  std::vector<int> redrawn(250);
  std::vector<int32_t> alpha(250);
  for (int k = 1; k < 250; ++k) {
    Frame();
    redrawn[k] = img.Drawn;
    alpha[k] = img.Sprite->Alpha;
  }
  // Until the exact value falls to 254.5 nothing changes and nothing is drawn.
  for (int k = 1; k <= 45; ++k) {
    EXPECT_EQ(alpha[k], 255) << k;
    EXPECT_FALSE(redrawn[k]) << k;
  }
  // 254 has bit 1 set: it is stored as 252, differs from the rounded value in every frame,
  // and is written (and drawn) again every frame.
  for (int k = 55; k <= 145; ++k) {
    EXPECT_EQ(alpha[k], 252) << k;
    EXPECT_TRUE(redrawn[k]) << k;
  }
  // 253 has bit 1 clear: it stays, and the image rests.
  for (int k = 155; k <= 245; ++k) {
    EXPECT_EQ(alpha[k], 253) << k;
    EXPECT_FALSE(redrawn[k]) << k;
  }
}

TEST_F(Effects, ButtonFadeShowsAHiddenButtonAtItsFirstChange) {
  Play(kGreyClear +
       "CREATEBUTTON(b, , blue.spr, green.spr, , 100, 100, 255, INVISIBLE, ENABLED, X)\n"
       "CREATEBUTTON(c, , blue.spr, , , 300, 100, 255, VISIBLE, ENABLED, X)\n"
       "BUTTONALPHA(b, 155, 10000)\n"
       "BUTTONALPHA(c, 100, 100)\n");
  TGEButton& b = Object<TVKButton>("B").Button;
  TGEButton& c = Object<TVKButton>("C").Button;
  RunTo(40);  // b started at 40: 0.2 off its opacity per frame from here on
  EXPECT_EQ(Frame(), 60u);
  EXPECT_FALSE(b.Visible);  // 254.8 still rounds to 255
  EXPECT_EQ(Frame(), 80u);
  EXPECT_FALSE(b.Visible);
  EXPECT_EQ(Pixel(105, 105), kGrey);
  EXPECT_EQ(Frame(), 100u);  // 254.4: the first change
  EXPECT_TRUE(b.Visible);
  EXPECT_EQ(b.Alpha, 252);
  for (TGESprite* image : b.Images()) EXPECT_EQ(image->Alpha, 252);
  EXPECT_NE(Pixel(105, 105), kGrey);  // drawn, nearly opaque
  RunTo(400);
  EXPECT_EQ(c.Alpha, 100);
  EXPECT_FALSE(Object<TVKButton>("C").EffectRunning);
  EXPECT_FALSE(Command(2).Active);
}

TEST_F(Effects, ButtonMoveCarriesEveryPicture) {
  Play(kGreyClear +
       "CREATEBUTTON(b, , blue.spr, green.spr, green.spr, 20, 20, 255, VISIBLE, ENABLED, X)\n"
       "MOVEBUTTON(b, 220, 120, 100)\n");
  TGEButton& b = Object<TVKButton>("B").Button;
  RunTo(20);
  EXPECT_EQ(Pixel(25, 25), kBlue);
  RunTo(60);  // started at 40
  EXPECT_EQ(b.X(), 60);
  EXPECT_EQ(b.Y(), 40);
  RunTo(140);
  EXPECT_EQ(b.Images().size(), 3u);
  for (TGESprite* image : b.Images()) {
    EXPECT_EQ(image->X, 220);
    EXPECT_EQ(image->Y, 120);
  }
  EXPECT_FALSE(Command(1).Active);
  EXPECT_FALSE(Object<TVKButton>("B").EffectRunning);
  EXPECT_EQ(Pixel(225, 125), kBlue);
  EXPECT_EQ(Pixel(25, 25), kGrey);
}

TEST_F(Effects, TextMoveCarriesItsBoundsAndEndsItsWait) {
  Play(kGreyClear +
       "CREATETEXT(t, \"0\", 0, 0, 20, 20, ARIAL14)\n"
       "MOVETEXT(t, 100, 50, 100)\n"
       "WAITFOR(t)\n"
       "NOTHING\n");
  TVKText& text = Object<TVKText>("T");
  Frame();
  EXPECT_EQ(Pixel(0, 5), Ink(1, 0));
  RunTo(80);  // started at 40
  EXPECT_EQ(text.X, 40);
  EXPECT_EQ(text.Y, 20);
  EXPECT_EQ(text.Bounds.Left, 40);
  EXPECT_EQ(text.Bounds.Bottom, 40);
  EXPECT_EQ(Section(0).CommandIndex, 2);
  EXPECT_EQ(Frame(), 100u);
  EXPECT_EQ(Frame(), 120u);
  EXPECT_EQ(Frame(), 140u);
  EXPECT_EQ(text.X, 100);
  EXPECT_EQ(text.Y, 50);
  EXPECT_EQ(text.Bounds.Right, 120);
  EXPECT_EQ(text.Bounds.Bottom, 70);
  EXPECT_EQ(Section(0).CommandIndex, 3);
  EXPECT_EQ(Pixel(100, 55), Ink(1, 0));
  EXPECT_EQ(Pixel(0, 5), kGrey);
}

TEST_F(Effects, NoTimeToRunCompletesAtOnce) {
  Play(
      "CREATEIMAGE(img, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(see, , green.spr, 300, 0, FALSE, TRUE)\n"
      "MOVEIMAGE(img, 50, 60, 0)\n"
      "IMAGEALPHA(see, 203, 0)\n"
      "WAITFOR(img)\n"
      "WAITFOR(see)\n"
      "NOTHING\n");
  TGESprite& img = Sprite("IMG");
  Frame();
  EXPECT_EQ(Frame(), 20u);  // started, and at its target
  EXPECT_EQ(img.X, 50);
  EXPECT_EQ(img.Y, 60);
  EXPECT_FALSE(Command(0).Active);
  EXPECT_FALSE(Object<TVKImage>("IMG").EffectRunning);
  EXPECT_EQ(Pixel(55, 65), kGreen);
  Frame();
  EXPECT_EQ(Sprite("SEE").Alpha, 201);
  Frame();  // the first wait is over
  EXPECT_EQ(Section(0).CommandIndex, 3);
  Frame();
  EXPECT_EQ(Section(0).CommandIndex, 4);
}

TEST_F(Effects, EffectAlreadyAtItsTargetEndsAtOnce) {
  Play(
      "CREATEIMAGE(img, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEBUTTON(b, , blue.spr, , , 0, 0, 255, VISIBLE, ENABLED, X)\n"
      "MOVEIMAGE(img, 0, 0, 1000)\n"
      "IMAGEALPHA(img, 255, 1000)\n"
      "BUTTONALPHA(b, 255, 1000)\n"
      "WAITFOR(img)\n"
      "MOVEIMAGE(img, 10, 0, 100)\n"
      "WAITFOR(img)\n"
      "NOTHING\n");
  Frames(5);  // the three effects started in frames 1 to 3 and ended there
  for (size_t i = 0; i < 3; ++i) EXPECT_FALSE(Command(i).Active) << i;
  EXPECT_FALSE(Object<TVKButton>("B").EffectRunning);
  EXPECT_FALSE(Object<TVKImage>("IMG").EffectRunning);
  EXPECT_EQ(Section(0).CommandIndex, 4);  // the wait did not hold
  RunTo(200);
  EXPECT_EQ(Sprite("IMG").X, 10);
  EXPECT_EQ(Section(0).CommandIndex, 6);
}

TEST_F(Effects, MoveWithFadeEndsWhenEverythingArrivesWhicheverChangedLast) {
  Play(
      "CREATEIMAGE(still, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(fade, , green.spr, 0, 100, FALSE, TRUE)\n"
      "MOVEIMAGEALPHA(still, 100, 0, 255, 1000)\n"
      "MOVEIMAGEALPHA(fade, 0, 100, 101, 200)\n"
      "WAITFOR(fade)\n"
      "WAITFOR(still)\n"
      "NOTHING\n");
  TGESprite& still = Sprite("STILL");
  TGESprite& fade = Sprite("FADE");
  // The opacity of "still" never changes; its end is seen when the position arrives.
  RunTo(1000);
  EXPECT_EQ(still.X, 98);
  EXPECT_EQ(still.Alpha, 255);
  EXPECT_TRUE(Command(0).Active);
  EXPECT_EQ(Frame(), 1020u);
  EXPECT_EQ(still.X, 100);
  EXPECT_FALSE(Command(0).Active);
  EXPECT_FALSE(Object<TVKImage>("STILL").EffectRunning);
  // "fade" stays in place; it ends with its opacity.
  EXPECT_EQ(fade.X, 0);
  EXPECT_EQ(fade.Y, 100);
  EXPECT_EQ(fade.Alpha, 101);
  EXPECT_FALSE(Command(1).Active);
  EXPECT_EQ(Section(0).CommandIndex, 4);  // both waits are over
}

TEST_F(Effects, MoveWithFadeMasksTheOpacityOnlyInFramesThatChangeIt) {
  Play(
      "CREATEIMAGE(img, , green.spr, 0, 0, FALSE, TRUE)\n"
      "SETIMAGEPOS(img, 0, 0, TRUE, 202)\n"
      "MOVEIMAGEALPHA(img, 400, 0, 202, 1000)\n"
      "WAITFOR(img)\n"
      "NOTHING\n");
  TGESprite& img = Sprite("IMG");
  RunTo(500);
  EXPECT_GT(img.X, 150);
  EXPECT_EQ(img.Alpha, 202);  // moving alone leaves the opacity it was given
  RunTo(1100);
  EXPECT_EQ(img.X, 400);
  EXPECT_EQ(img.Alpha, 202);
  EXPECT_FALSE(Command(2).Active);
  EXPECT_EQ(Section(0).CommandIndex, 4);
}

TEST_F(Effects, MissingDurationTakesAlmostForeverAndBadNumbersWarn) {
  Play(
      "CREATEIMAGE(slow, , green.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(bad, , green.spr, 50, 0, FALSE, TRUE)\n"
      "MOVEIMAGE(slow, 100, 0)\n"
      "MOVEIMAGE(bad, far, 20, 100)\n");
  RunTo(1000);
  EXPECT_EQ(Object<TVKImage>("SLOW").Effect.Duration, 4294967295u);
  EXPECT_EQ(Sprite("SLOW").X, 0);
  EXPECT_TRUE(Command(0).Active);
  // A target that is not a number is 0, with a warning.
  EXPECT_EQ(Sprite("BAD").X, 0);
  EXPECT_EQ(Sprite("BAD").Y, 20);
  ASSERT_EQ(Headless->Messages.size(), 1u);
  EXPECT_EQ(Headless->Messages[0], "Üzenet: Hibás egész szám effekt paraméter.");
}

TEST_F(Effects, EffectRunAgainStepsOnFromItsOldState) {
  Play(
      "CALL(sub)\nCALL(sub)\n"
      "[SUB]\n"
      "CREATEIMAGE(img, , green.spr, 0, 0, FALSE, TRUE)\n"
      "SETIMAGEPOS(img, 0, 0, TRUE)\n"
      "MOVEIMAGE(img, 100, 0, 1000)\n"
      "WAITFOR(img)\n"
      "RETURN\n");
  TGESprite& img = Sprite("IMG");
  RunTo(1060);  // the first run: moved from 60 ms on, ended and returned at 1060
  EXPECT_EQ(img.X, 100);
  EXPECT_EQ(Veke->CurrentSection, &Section(0));
  RunTo(1120);  // called again, put back, and the move executed again
  EXPECT_EQ(img.X, 0);
  EXPECT_TRUE(Command(1, 1).Active);
  // Not started afresh: the time since its last step takes it to the old target at once.
  EXPECT_EQ(Frame(), 1140u);
  EXPECT_EQ(img.X, 100);
  EXPECT_FALSE(Command(1, 1).Active);
}
}  // namespace
