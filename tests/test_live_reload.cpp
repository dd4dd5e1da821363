// Live reload (--watch): which files are watched, what a good save and one with mistakes do
// to a playing presentation, that reloads leave nothing behind; and where F12 saves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "HeapCounter.h"
#include "TestSupport.h"
#include "graphics/SE_PictureCache.h"
#include "platform/PL_Paths.h"
#include "player/VEKScreenshot.h"
#include "player/VEKWatch.h"

namespace fs = std::filesystem;

namespace {
class LiveReload : public ::testing::Test, public THeadlessFixture {
 protected:
  LiveReload() { SetProgramArguments({"show.vek", "WINDOWED"}); }
  ~LiveReload() override { SetScriptFolder(""); }

  // Plays show.vek under --watch to `playMs`, pressing F5 at each of `reloads`; `onFrame`
  // sees every frame (and may save a new version), `colours` keeps pixels of the frames.
  void Play(uint32_t playMs, const std::vector<uint32_t>& reloads,
            std::function<void(TPlatformSurface&, uint32_t)> onFrame) {
    Headless->PlayMs = playMs;
    for (const uint32_t at : reloads) Headless->Schedule(at, THostEventType::WindowKey);
    Headless->OnFrame = std::move(onFrame);
    TStartOptions start;
    start.Watch = true;
    PlayScript(Script.string(), start, "veke");
  }
  static uint16_t PixelOf(TPlatformSurface& frame, int32_t x, int32_t y) {
    return *reinterpret_cast<const uint16_t*>(frame.Pixels() + y * frame.Pitch() + x * 2);
  }

  TTempFolder Temp;
  fs::path Script = Temp.Path / "show.vek";
};

// Main clears red and calls WORK, which clears `colour` and waits; after WORK returns, main
// clears white. `extra` goes into WORK before its wait.
std::string Version(const std::string& colour, const std::string& extra = "") {
  return "CLEAR($F800F800)\nCALL(WORK)\nCLEAR($FFFFFFFF)\nWAIT(100000)\n[WORK]\nCLEAR(" + colour +
         ")\n" + extra + "WAIT(300)\nRETURN\n";
}

TEST_F(LiveReload, AGoodSavePlaysAtTheSectionThatPlayedAndAMistakeKeepsTheOldVersionUnderABand) {
  Temp.Write("show.vek", Version("$001F001F"));
  struct TStep {
    uint32_t SaveAt;
    std::string Text;  // the version saved
  };
  const std::vector<TStep> saves = {
      {100, Version("$07E007E0")},                           // good: green
      {200, Version("$FFE0FFE0", "SHOWIMAG(Nothing,1)\n")},  // a mistake: green plays on
      {300, Version("$FFE0FFE0")},                           // good again: yellow, no band
  };
  // What the frames show: the top-left pixel and the bottom-left one, by time.
  std::map<uint32_t, std::pair<uint16_t, uint16_t>> shown;
  testing::internal::CaptureStderr();
  Play(800, {120, 220, 320}, [&](TPlatformSurface& frame, uint32_t ms) {
    for (const TStep& save : saves)
      if (ms == save.SaveAt) Temp.Write("show.vek", save.Text);
    shown[ms] = {PixelOf(frame, 5, 5), PixelOf(frame, 5, 476)};
  });
  const std::string err = testing::internal::GetCapturedStderr();
  const auto at = [&](uint32_t ms) { return shown.lower_bound(ms)->second; };
  EXPECT_EQ(at(100).first, 0x001F);                                        // the first version
  EXPECT_EQ(at(160), std::make_pair(uint16_t{0x07E0}, uint16_t{0x07E0}));  // WORK, green
  EXPECT_EQ(at(260).first, 0x07E0);   // the old version plays on
  EXPECT_NE(at(260).second, 0x07E0);  // under the band
  EXPECT_EQ(at(360), std::make_pair(uint16_t{0xFFE0}, uint16_t{0xFFE0}));  // band gone
  // WORK waits 300 ms, then returns to main after its CALL (white), not to main's start.
  EXPECT_EQ(at(700).first, 0xFFFF);
  EXPECT_NE(err.find("veke: " + Script.string() + " read again: playing from section WORK"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("has 1 mistake; still playing the version before:\n" + Script.string() +
                     ":7: unknown command \"SHOWIMAG\""),
            std::string::npos)
      << err;
}

TEST_F(LiveReload, AReloadKeepsTheCallersAndWhereTheyWere) {
  // Main → A (by CALL) → B (by JUMP): after the reload B returns to A after its JUMP, and A
  // to main after its CALL.
  Temp.Write("show.vek",
             "CALL(A)\nCLEAR($FFFFFFFF)\nWAIT(100000)\n[A]\nCLEAR($F800F800)\nJUMP(B)\n"
             "CLEAR($07E007E0)\nWAIT(200)\nRETURN\n[B]\nCLEAR($001F001F)\nWAIT(300)\nRETURN\n");
  std::map<uint32_t, uint16_t> shown;
  testing::internal::CaptureStderr();
  Play(1000, {100},
       [&](TPlatformSurface& frame, uint32_t ms) { shown[ms] = PixelOf(frame, 5, 5); });
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(shown.lower_bound(150)->second, 0x001F);  // B again
  EXPECT_EQ(shown.lower_bound(500)->second, 0x07E0);  // A after its JUMP
  EXPECT_EQ(shown.lower_bound(900)->second, 0xFFFF);  // main after its CALL
}

TEST_F(LiveReload, WatchesTheScriptAndTheFilesItNamesAsFoundOrWhereTheyWouldBe) {
  const fs::path demo = fs::path(VEKE_SOURCE_DIR) / "examples/demo";
  for (const char* file : {"demo.ger", "chime.wav", "about.txt", "cloud.bmp"})
    fs::copy_file(demo / file, Temp.Path / file);
  Temp.Write("unused.bmp", "");
  Temp.Write("show.vek",
             "CREATEIMAGE(Cloud,,CLOUD.BMP,0,0,TRUE,TRUE)\n"
             "CREATEBUTTON(Back,demo.ger,BACK,BACK_H,BACK_D,460,424,255,VISIBLE,ENABLED,RETURN)\n"
             "CREATETEXT(About,about.txt,40,100,400,120,ARIAL14)\n"
             "CREATESOUND(Chime,chime.wav,TRUE,FALSE)\n"
             "LOADBACKGROUND(,later.bmp)\nWAIT(100)\nQUIT\n");
  testing::internal::CaptureStderr();
  TLiveReload reload(Script.string(), "show.vek", "veke");
  {
    TVEKE veke;
    veke.Watch = &reload;
    veke.Execute(Script.string());
  }
  testing::internal::GetCapturedStderr();
  ASSERT_NE(reload.Files(), nullptr);
  for (const char* file : {"show.vek", "cloud.bmp", "demo.ger", "about.txt", "chime.wav",
                           "later.bmp", "LATER.BMP"})  // missing: to be made beside the script
    EXPECT_TRUE(reload.Files()->Watches((Temp.Path / file).string())) << file;
  EXPECT_FALSE(reload.Files()->Watches((Temp.Path / "unused.bmp").string()));
}

TEST_F(LiveReload, ReloadsLeaveNothingOfTheOldPlaysBehind) {
  const fs::path demo = fs::path(VEKE_SOURCE_DIR) / "examples/demo";
  for (const char* file : {"demo.ger", "cloud.bmp", "day.bmp"})
    fs::copy_file(demo / file, Temp.Path / file);
  Temp.Write("show.vek",
             "CREATEIMAGE(Cloud,,cloud.bmp,0,0,TRUE,TRUE)\n"
             "CREATEBUTTON(Back,demo.ger,BACK,BACK_H,BACK_D,460,424,255,VISIBLE,ENABLED,RETURN)\n"
             "LOADBACKGROUND(,day.bmp)\nWAIT(100000)\n");
  std::vector<uint32_t> reloads;
  for (uint32_t at = 100; at < 3000; at += 60) reloads.push_back(at);
  size_t sheetsAfterFirst = 0, bytesAfterFirst = 0, sheetsAtEnd = 0, bytesAtEnd = 0;
  testing::internal::CaptureStderr();
  Play(3000, reloads, [&](TPlatformSurface&, uint32_t ms) {
    if (ms == 140) sheetsAfterFirst = SharedSheetCount(), bytesAfterFirst = AllocatedBytes();
    if (ms == 2980) sheetsAtEnd = SharedSheetCount(), bytesAtEnd = AllocatedBytes();
  });
  const std::string err = testing::internal::GetCapturedStderr();
  size_t count = 0;
  for (size_t at = 0; (at = err.find("read again", at)) != std::string::npos; ++at) ++count;
  EXPECT_EQ(count, reloads.size());
  EXPECT_EQ(sheetsAtEnd, sheetsAfterFirst);
  // 47 plays more: the sections and commands of one play alone take a few kilobytes.
  if (bytesAfterFirst > 0) {
    EXPECT_LT(bytesAtEnd, bytesAfterFirst + 32 * 1024);
  }
}

TEST(Screenshot, GoesToThePicturesFolderElseBesideTheScriptUnderANameNotTaken) {
  TTempFolder temp;
  const std::string home = (temp.Path / "home").string(), pics = (temp.Path / "pics").string();
  fs::create_directories(home + "/.config");
  fs::create_directories(pics);
  fs::create_directories(home + "/Bilder");
  const std::string script = (temp.Path / "show/show.vek").string();
  const char* savedHome = std::getenv("HOME");
  const std::string keptHome = savedHome ? savedHome : "";
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  struct TCase {
    const char* PicturesDir;  // $XDG_PICTURES_DIR; nullptr: unset
    const char* UserDirs;     // user-dirs.dirs; nullptr: none
    bool HomePictures;        // ~/Pictures exists
    std::string Expected;
  };
  const std::vector<TCase> cases = {
      {pics.c_str(), "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", true, pics},
      {nullptr, "XDG_DESKTOP_DIR=\"$HOME/D\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n", true,
       home + "/Bilder"},
      {nullptr, "XDG_PICTURES_DIR=\"$HOME/\"\n", true, home + "/Pictures"},
      {"/no/such/folder", nullptr, false, temp.Path.string() + "/show"},
  };
  for (const TCase& c : cases) {
    if (c.PicturesDir)
      setenv("XDG_PICTURES_DIR", c.PicturesDir, 1);
    else
      unsetenv("XDG_PICTURES_DIR");
    fs::remove(home + "/.config/user-dirs.dirs");
    if (c.UserDirs) std::ofstream(home + "/.config/user-dirs.dirs") << c.UserDirs;
    fs::remove(home + "/Pictures");
    if (c.HomePictures) fs::create_directories(home + "/Pictures");
    EXPECT_EQ(ScreenshotFolder(script), c.Expected) << c.Expected;
  }
  setenv("HOME", keptHome.c_str(), 1);
  unsetenv("XDG_PICTURES_DIR");

  // 2026-12-07 22:15:09 local time, taken three times in that second.
  std::tm when{};
  when.tm_year = 126, when.tm_mon = 11, when.tm_mday = 7, when.tm_hour = 22, when.tm_min = 15,
  when.tm_sec = 9, when.tm_isdst = -1;
  const std::time_t time = std::mktime(&when);
  for (const char* expected :
       {"veke-20261207-221509.png", "veke-20261207-221509-2.png", "veke-20261207-221509-3.png"}) {
    const std::string name = ScreenshotName(pics, time);
    EXPECT_EQ(name, pics + "/" + expected);
    std::ofstream(name) << "taken";
  }
}
}  // namespace
