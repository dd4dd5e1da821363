// The frame's place in windows and screens of any size, and the mouse positions mapped back
// to its pixels, with window points and drawable pixels apart as on HiDPI desktops.
#include <gtest/gtest.h>

#include <set>

#include "TestSupport.h"
#include "platform/PL_Paths.h"
#include "platform/PL_ScreenFit.h"
#include "player/VEKEntry.h"
#include "player/VEKHostOptions.h"

namespace {
const TScaling kModes[] = {TScaling::Smooth, TScaling::Sharp, TScaling::Integer};
// Screens and windows wider and narrower than 4:3, whole multiples and not, and too small.
const std::pair<int32_t, int32_t> kScreens[] = {{640, 480},   {1280, 1024}, {1000, 700},
                                                {700, 1000},  {641, 481},   {1366, 768},
                                                {1920, 1080}, {2560, 1600}, {500, 400}};

TWindowSizes Sizes(int32_t width, int32_t height, int32_t pixelsPerPoint = 1) {
  return {width, height, width * pixelsPerPoint, height * pixelsPerPoint};
}

TEST(ScreenFit, TheFrameIsCentredWithItsAspectAndIntegerKeepsWholeMultiples) {
  // A full-screen 1280 x 1024 desktop: doubled, with 32 black rows above and below.
  for (TScaling mode : kModes) {
    const TScreenFit fit = FitFrame(640, 480, Sizes(1280, 1024), mode);
    EXPECT_EQ((std::vector<int32_t>{fit.X, fit.Y, fit.Width, fit.Height}),
              (std::vector<int32_t>{0, 32, 1280, 960}));
  }
  for (auto [width, height] : kScreens) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    const TScreenFit sharp = FitFrame(640, 480, Sizes(width, height), TScaling::Sharp);
    // Two opposite edges touched, the other bands even, the aspect within a pixel.
    EXPECT_TRUE((sharp.X == 0 && sharp.Width == width) || (sharp.Y == 0 && sharp.Height == height));
    EXPECT_LE(std::abs(2 * sharp.X + sharp.Width - width), 1);
    EXPECT_LE(std::abs(2 * sharp.Y + sharp.Height - height), 1);
    EXPECT_LE(std::abs(sharp.Width * 480 - sharp.Height * 640), 640);
    const TScreenFit whole = FitFrame(640, 480, Sizes(width, height), TScaling::Integer);
    const int32_t multiple = std::min(width / 640, height / 480);
    if (multiple == 0) {
      // Too small for the frame itself: shrunk like sharp, never cut.
      EXPECT_EQ(whole.Width, sharp.Width);
      EXPECT_EQ(whole.Height, sharp.Height);
    } else {
      EXPECT_EQ(whole.Width, 640 * multiple);
      EXPECT_EQ(whole.Height, 480 * multiple);
      EXPECT_EQ(whole.X, (width - whole.Width) / 2);
      EXPECT_EQ(whole.Y, (height - whole.Height) / 2);
    }
  }
}

// The frame pixel a renderer shows at a drawable pixel: the one under that pixel's centre.
int64_t Shown(int64_t pixel, int64_t offset, int64_t fitted, int64_t frame) {
  const int64_t scaled = (2 * (pixel - offset) + 1) * frame;
  return scaled < 0 ? -1 : scaled / (2 * fitted);
}

// Walks a row and a column of window points and checks what they reach in the frame: a point
// reaches a pixel shown under it, the bands reach nothing, and the points reach the pixels in
// order, none skipped where a point is no larger than a pixel of the frame.
void ExpectPointsMapOntoTheShownPixels(const TScreenFit& fit) {
  for (bool horizontal : {true, false}) {
    const int64_t points = horizontal ? fit.Sizes.WindowWidth : fit.Sizes.WindowHeight;
    const int64_t pixels = horizontal ? fit.Sizes.DrawableWidth : fit.Sizes.DrawableHeight;
    const int64_t offset = horizontal ? fit.X : fit.Y;
    const int64_t fitted = horizontal ? fit.Width : fit.Height;
    const int64_t frame = horizontal ? fit.FrameWidth : fit.FrameHeight;
    const int64_t largestStep = (pixels * frame + points * fitted - 1) / (points * fitted);
    int64_t last = -1;
    for (int32_t p = 0; p < points; ++p) {
      int32_t x = 0, y = 0;
      WindowToFrame(fit, horizontal ? p : 0, horizontal ? 0 : p, x, y);
      const int64_t got = horizontal ? x : y;
      // The drawable pixels under the point, and those of them that show the picture.
      const int64_t first = p * pixels / points, end = (p + 1) * pixels / points;
      const int64_t from = std::max(first, offset), to = std::min(end, offset + fitted);
      if (from >= to) {
        if (end <= offset)
          ASSERT_LT(got, 0) << p;
        else
          ASSERT_GE(got, frame) << p;
        continue;
      }
      if (got < 0 || got >= frame) {
        ASSERT_TRUE(from != first || to != end) << "a point on the picture reached nothing: " << p;
        continue;
      }
      ASSERT_GE(got, Shown(from, offset, fitted, frame)) << p;
      ASSERT_LE(got, Shown(to - 1, offset, fitted, frame)) << p;
      ASSERT_GE(got, last) << p;
      ASSERT_LE(got - last, largestStep) << p;
      last = got;
    }
    // Where a point spans more than a pixel of the frame, the last may lie under none's centre.
    EXPECT_GE(last + largestStep, frame) << (horizontal ? "x" : "y");
  }
}

// A window a pixel larger than the picture, either way or both, shows every row and column of
// it: nothing is shrunk away.
TEST(ScreenFit, AWindowAPixelLargerShowsEveryRowAndColumn) {
  for (TScaling mode : kModes)
    for (auto [width, height] : {std::pair{641, 480}, {640, 481}, {641, 481}}) {
      SCOPED_TRACE(testing::Message() << int(mode) << " " << width << "x" << height);
      const TScreenFit fit = FitFrame(640, 480, Sizes(width, height), mode);
      EXPECT_GE(fit.Width, 640);
      EXPECT_GE(fit.Height, 480);
      for (bool horizontal : {true, false}) {
        const int32_t offset = horizontal ? fit.X : fit.Y;
        const int32_t fitted = horizontal ? fit.Width : fit.Height;
        const int32_t frame = horizontal ? 640 : 480;
        std::set<int64_t> shown;
        for (int32_t pixel = offset; pixel < offset + fitted; ++pixel)
          shown.insert(Shown(pixel, offset, fitted, frame));
        EXPECT_EQ(shown.size(), size_t(frame)) << (horizontal ? "columns" : "rows");
        EXPECT_EQ(*shown.rbegin(), frame - 1);
      }
    }
}

TEST(ScreenFit, ClicksReachThePixelUnderThemInEveryModeAndOnHiDpiDesktops) {
  for (TScaling mode : kModes)
    for (int32_t density : {1, 2, 3})
      for (auto [width, height] : kScreens) {
        SCOPED_TRACE(testing::Message()
                     << int(mode) << " " << width << "x" << height << " x" << density);
        ExpectPointsMapOntoTheShownPixels(FitFrame(640, 480, Sizes(width, height, density), mode));
      }
}

TEST(HostOptions, ScreenScaleAndDrivesAreTakenWhereverTheyStandAndBadOnesRefused) {
  THeadlessFixture fixture;
  TTempFolder temp;
  std::vector<std::string> words = {"--scale",
                                    "Integer",
                                    "show.vek",
                                    "WINDOWED",
                                    "--display=1",
                                    "--drive",
                                    "d=" + temp.Path.string()};
  std::string error;
  ASSERT_TRUE(TakeHostOptions(words, error)) << error;
  EXPECT_EQ(words, (std::vector<std::string>{"show.vek", "WINDOWED"}));
  EXPECT_EQ(fixture.Headless->Screen.Display, 1);
  EXPECT_EQ(fixture.Headless->Screen.Scaling, TScaling::Integer);
  temp.Write("VIDEO/INTRO.AVI", "");
  EXPECT_EQ(ResolvePath("D:\\video\\intro.avi"), (temp.Path / "VIDEO/INTRO.AVI").string());
  ClearDriveMap();
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--scale", "blurry"},
                                              {"--display", "-1"},
                                              {"--display", "x"},
                                              {"show.vek", "--scale"},
                                              {"--drive", "D:/media/cd"},
                                              {"--drive", "1=/tmp"},
                                              {"--drive", "D=" + (temp.Path / "none").string()}}) {
    std::vector<std::string> copy = bad;
    EXPECT_FALSE(TakeHostOptions(copy, error)) << bad[0] << " " << bad[1];
  }
  // A bad option ends the program before any script is read.
  testing::internal::CaptureStderr();
  EXPECT_EQ(PlayerMain({"--scale", "blurry", "show.vek"}, "veke"), 2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("veke: bad --scale"), std::string::npos);
}

// A quoted folder reaches the player with its "~" (sh leaves it in D=~/cd, too); the player
// takes it as the shell would have.
TEST(HostOptions, ALeadingTildeIsTheHomeFolder) {
  THeadlessFixture fixture;
  TTempFolder temp;
  temp.Write("cd/VIDEO/INTRO.AVI", "");
  const char* savedHome = std::getenv("HOME");
  const std::string saved = savedHome ? savedHome : "";
  setenv("HOME", temp.Path.c_str(), 1);
  const std::string home = temp.Path.string();
  const std::pair<std::string, std::string> cases[] = {
      {"~", home},
      {"~/cd", home + "/cd"},
      {"cd/~", "cd/~"},
      {"/x/~/y", "/x/~/y"},
      {"~no-such-user-here/x", "~no-such-user-here/x"},
      {"~root/x", "/root/x"}};
  for (const auto& [given, expanded] : cases) EXPECT_EQ(ExpandHome(given), expanded) << given;
  std::vector<std::string> words = {"--drive", "d=~/cd", "--root=~", "show.vek"};
  std::string error;
  EXPECT_TRUE(TakeHostOptions(words, error)) << error;
  EXPECT_EQ(ResolvePath("D:\\video\\intro.avi"), (temp.Path / "cd/VIDEO/INTRO.AVI").string());
  ClearDriveMap();
  SetRootOption("");
  setenv("HOME", saved.c_str(), 1);
}
}  // namespace
