// The engine loop on the headless host: frame clock, frame rate, window events, the mouse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "TestSupport.h"
#include "engine/SE_NoticeBand.h"
#include "platform/PL_Paths.h"

namespace {
class Engine : public ::testing::Test, public TScriptRun {};

TEST_F(Engine, FrameRateIsMeasuredOncePerSecond) {
  Headless->StartClock(5000);  // a clock that has run a while, as a real one has
  Load("");
  Frame();
  EXPECT_EQ(Veke->Engine->FPS, 0);  // the first frame measures an empty second
  Frames(49);
  EXPECT_EQ(Veke->Engine->FPS, 0);
  Frame();  // 1000 ms after the first measurement: 50 frames
  EXPECT_EQ(Veke->Engine->FPS, 50);
  EXPECT_EQ(Veke->Engine->TotalTime, 1000u);
}

TEST_F(Engine, MinimisedPlayStopsFramesButNotTime) {
  Load("");
  Headless->Schedule(100, THostEventType::Minimized);
  Headless->Schedule(200, THostEventType::Restored);
  EXPECT_EQ(Frame(), 0u);
  Frames(4);  // up to 80
  EXPECT_EQ(Frame(), 200u);  // nothing was shown while minimised
  EXPECT_EQ(Headless->FramesPresented, 6);
  EXPECT_EQ(Veke->Engine->TotalTime, 200u);  // the first frame back carries the whole gap
  EXPECT_EQ(Veke->Engine->FrameTime, 120);
}

TEST_F(Engine, FocusMattersOnlyInFullScreen) {
  Load("");
  Headless->Schedule(0, THostEventType::FocusLost);
  Headless->Schedule(20, THostEventType::FocusLost);
  Frame();
  EXPECT_TRUE(Veke->Engine->AppActive);  // the tests play windowed
  Veke->Engine->Windowed = false;
  Veke->Engine->RunOnce();
  EXPECT_FALSE(Veke->Engine->AppActive);
}

TEST_F(Engine, CloseEndsTheLoop) {
  Load("");
  Headless->Schedule(40, THostEventType::Close);
  Veke->Engine->Run();
  EXPECT_TRUE(Veke->Engine->Terminated);
  EXPECT_EQ(Headless->FramesPresented, 2);  // frames at 0 and 20; at 40 the event comes first
}

TEST_F(Engine, MouseSnapshotIsTakenAtTheStartOfEachFrame) {
  Load("");
  Headless->Schedule(20, THostEventType::MouseDown, 30, 40, true);
  Frame();
  EXPECT_FALSE(MouseSnapshot.Left);
  Frame();
  EXPECT_TRUE(MouseSnapshot.Left);
  EXPECT_EQ(MouseSnapshot.X, 30);
  EXPECT_EQ(MouseSnapshot.Y, 40);
}

// Larger than the largest screens (8K, either way up), a display stops the player, and the
// line before the message says why.
TEST_F(Engine, AbsurdDisplaySizesStopWithTheDisplayMessage) {
  for (const std::string size : {"100000, 480", "8193, 100", "100, 8193", "16384, 16384"}) {
    SCOPED_TRACE(size);
    testing::internal::CaptureStderr();
    try {
      Load("CREATEENGINE(" + size + ", X, )\n");
      ADD_FAILURE() << "the engine was made";
    } catch (const TFatalExit& fatal) {
      EXPECT_EQ(fatal.ExitCode, 1);
      EXPECT_EQ(fatal.Message, "SetDisplayMode: DirectDraw does not support the requested mode.");
    }
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find(" is larger than a screen shows; at most 8192x8192"), std::string::npos)
        << errors;
  }
}

// A failure that ends play names the first failed part, in the engine's order of parts.
TEST(RunError, NamesTheFirstFailedPart) {
  TScriptRun run;
  TVEKE& veke = run.Load("CREATEENGINE(320,200,Show,)\n");
  veke.ReportRunError();
  EXPECT_EQ(run.Headless->Messages.back(), "SHOW: Ismeretlen hiba miatt a program futása megszakadt!");
  veke.Engine->Map->Ready = false;
  veke.Engine->Map->ErrorText = "map broke";
  veke.Engine->Sprites->Ready = false;
  veke.Engine->Sprites->ErrorText = "sprite broke";
  veke.ReportRunError();
  EXPECT_EQ(run.Headless->Messages.back(), "SHOW: sprite broke");
  veke.Engine->Display->Ready = false;
  veke.Engine->Display->ErrorText = "display broke";
  veke.ReportRunError();
  EXPECT_EQ(veke.Engine->ErrorText, "display broke");
}

// When the frame-rate figure changes, the corner is cleaned first: what shows is the new line
// alone, with no digit of the old one left under it.
TEST(FrameRateLine, ShowsOnlyTheNewFigure) {
  TScriptRun run;
  TVEKE& veke = run.Load("CLEAR(BLACK)\nSHOWFPS\nWAIT\n");
  run.Frames(3);
  ASSERT_EQ(veke.Engine->FPS, 0);
  while (veke.Engine->FPS == 0) run.Frame();
  run.Frame();
  std::vector<uint32_t> shown, fresh;
  for (int32_t y = 0; y < 13; ++y)
    for (int32_t x = 0; x < 60; ++x) shown.push_back(run.Pixel(x, y));
  TGEDDraw& display = *veke.Engine->Display;
  display.RestoreRect(0, 0, 60, 13);
  TDrawTargetScope work(display.WorkDesc);
  veke.Engine->Font->SetFace(0);
  veke.Engine->Font->TextOut(0, 0, "FPS:" + std::to_string(veke.Engine->FPS) + " ");
  display.CopyWorkBuffer();
  for (int32_t y = 0; y < 13; ++y)
    for (int32_t x = 0; x < 60; ++x) fresh.push_back(run.Pixel(x, y));
  EXPECT_NE(std::count(fresh.begin(), fresh.end(), 0u), static_cast<long>(fresh.size()));
  EXPECT_EQ(shown, fresh);
}

// Only the parts of a frame that something drew on are copied and sent to the screen, so
// every drawing operation must say where it drew. Every frame of the demo (pictures that
// move, fade and animate, texts, buttons and their hints, the frame-rate line, 3D models,
// a clip, backgrounds, section changes) is checked in both display modes: the frame built
// from the changes alone must be the frame composed.
class FrameChanges : public ::testing::TestWithParam<bool>, public TScriptRun {};

TEST_P(FrameChanges, SayEverythingThatChangedInEveryFrameOfTheDemo) {
  const bool hardware = GetParam();
  const std::string folder = std::string(VEKE_SOURCE_DIR) + "/examples/demo";
  std::ifstream file(folder + "/demo.vek", std::ios::binary);
  const std::string script((std::istreambuf_iterator<char>(file)), {});
  SetScriptFolder(folder);
  Headless->StepMs = 40;
  Headless->PlayMs = 60000;
  Headless->CheckChanges = true;
  Load(script, hardware);
  Veke->Engine->ShowFPS = true;
  Veke->EnterStartSection();
  // Into every chapter and back, as a viewer would.
  const std::pair<int32_t, int32_t> clicks[] = {{100, 340}, {500, 440}, {280, 340}, {500, 440},
                                                {460, 340}, {500, 440}, {190, 394}, {500, 440},
                                                {370, 394}};
  const uint32_t at[] = {3000, 9000, 12000, 20000, 23000, 32000, 35000, 42000, 45000};
  for (size_t i = 0; i < std::size(at); ++i) {
    Headless->Schedule(at[i], THostEventType::MouseDown, clicks[i].first, clicks[i].second, true);
    Headless->Schedule(at[i] + 40, THostEventType::MouseUp, clicks[i].first, clicks[i].second);
  }
  const TGEDDraw& display = *Veke->Engine->Display;
  int32_t stale = 0;
  while (Headless->PlayedMs() < 50000 && !Veke->Engine->Terminated) {
    Frame();
    if (hardware) continue;
    // Memory mode: the back surface holds the copied parts of every frame so far.
    TPlatformSurface& shown = *display.BackSurface;
    for (int32_t y = 0; y < display.Height; ++y)
      if (std::memcmp(shown.Pixels() + int64_t{y} * shown.Pitch(),
                      display.WorkBuffer.data() + int64_t{y} * display.LineBytes,
                      display.LineBytes) != 0) {
        ++stale;
        break;
      }
  }
  EXPECT_GT(Headless->FramesPresented, 1000);
  EXPECT_EQ(stale, 0);
  EXPECT_EQ(Headless->FramesChangedUnseen, 0);
}

INSTANTIATE_TEST_SUITE_P(BothModes, FrameChanges, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Surface" : "Memory"; });
TEST(NoticeBand, CoversTheBottomWhileShownAndGivesThePresentationItsPixelsBack) {
  auto frame = TPlatformSurface::Create(320, 200, PixelFormatForDepth(16, false));
  for (int32_t y = 0; y < 200; ++y)
    for (int32_t x = 0; x < 320; ++x)
      reinterpret_cast<uint16_t*>(frame->Pixels() + y * frame->Pitch())[x] =
          static_cast<uint16_t>(x * 7 + y * 13);
  const std::vector<uint8_t> picture(frame->Pixels(), frame->Pixels() + 200 * frame->Pitch());
  const auto pictureShown = [&] {
    return std::equal(picture.begin(), picture.end(), frame->Pixels());
  };
  TNoticeBand band;
  TFrameChanges changes;
  changes.Resize(320, 200);
  changes.Reset();
  band.Stamp(*frame, changes);  // nothing shown: nothing drawn, nothing changed
  EXPECT_TRUE(pictureShown());
  EXPECT_TRUE(changes.Empty());

  band.Show({"show.vek: 1 mistake", "show.vek:7: unknown command \"SHOWIMAG\" (Nem létező)"});
  band.Stamp(*frame, changes);
  EXPECT_FALSE(pictureShown());
  ASSERT_EQ(changes.List().size(), 1u);
  const TRect covered = changes.List()[0];
  EXPECT_EQ(covered.Bottom, 200);
  EXPECT_EQ(covered.Width(), 320);
  EXPECT_GT(covered.Height(), 2 * 13);
  EXPECT_LT(covered.Height(), 3 * 14 + 8);
  EXPECT_TRUE(std::equal(picture.begin(), picture.begin() + covered.Top * frame->Pitch(),
                         frame->Pixels()));  // above it, the presentation
  band.Unstamp(*frame);
  EXPECT_TRUE(pictureShown());

  // Gone: the next present sends the rows it covered again, once.
  band.Show({});
  changes.Reset();
  band.Stamp(*frame, changes);
  EXPECT_TRUE(pictureShown());
  ASSERT_EQ(changes.List().size(), 1u);
  EXPECT_EQ(changes.List()[0].Top, covered.Top);
  changes.Reset();
  band.Stamp(*frame, changes);
  EXPECT_TRUE(changes.Empty());
  EXPECT_EQ(PlainAscii("Nem létező szekció: ŐŰ €"), "Nem letezo szekcio: OU ?");
}

}  // namespace
