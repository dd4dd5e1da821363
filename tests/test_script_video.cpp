// Script videos through the whole player on the virtual clock: the frame shown is the clip's
// frame for the time played, at its place and size; clips end, loop, wait and sound.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ObjectSamples.h"
#include "SoundSamples.h"
#include "TestSupport.h"
#include "video/SE_AnimPlay.h"

namespace {

class ScriptVideo : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    Headless->Quiet = true;
    Headless->PlayMs = 1'000'000;  // the runs of a test follow each other on one clock
    Headless->OnAudio = [this](const int16_t* samples, uint32_t frames) {
      Mix.insert(Mix.end(), samples, samples + frames * 2);
    };
  }
  // A 64 x 48 clip of 10 frames a second, two seconds long, whose frame N is solid red of
  // level 12 N (of 255), with a 440 Hz tone when `sound` names an audio codec. Steps of a
  // frame so small that some encoders skip them are made larger by showing each level twice
  // as long with `rate` 5 and `step` 24.
  std::string Clip(const std::string& name, const std::string& codec,
                   const std::string& sound = "", int rate = 10, int step = 12) {
    const std::string path = (Temp.Path / name).string();
    std::string command =
        "ffmpeg -v error -y -f lavfi -i color=c=black:size=64x48:rate=" + std::to_string(rate) +
        ":duration=2 ";
    if (!sound.empty()) command += "-f lavfi -i sine=frequency=440:duration=2 -c:a " + sound + " ";
    command += "-vf geq=r='" + std::to_string(step) + "*N':g=0:b=0 -c:v " + codec + " -q:v 2 " + path;
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "ffmpeg failed: " << command;
    return path;
  }
  TVEKE& Play(const std::string& script) {
    Mix.clear();
    return Load("CLEAR($001F001F)\n" + script);
  }
  // The red level (0..255) of a pixel of the frame, and whether the pixel is blue (the
  // background, where no clip is).
  int Red(int32_t x, int32_t y) const { return (Pixel(x, y) >> 11) * 255 / 31; }
  bool Background(int32_t x, int32_t y) const { return Pixel(x, y) == 0x001F; }
  // Frames until the time `ms` from now; the time of the last.
  uint32_t RunFor(uint32_t ms) {
    const uint32_t end = Headless->PlayedMs() + ms;
    uint32_t at = 0;
    while ((at = Frame()) < end) {
    }
    return at;
  }

  std::vector<int16_t> Mix;
  TTempFolder Temp;
  samples::TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(ScriptVideo, TheFrameShownIsTheOneDueAtThePlayedTimeAtItsPlaceAndSize) {
  for (const std::string codec : {"mpeg4", "mjpeg", "cinepak", "msvideo1"}) {
    SCOPED_TRACE(codec);
    Clip("clip.avi", codec, "", 5, 24);
    Play("CREATEANIM(v, clip.avi, 100, 50, 0, 0, FALSE, FALSE)\n"
         "CREATEANIM(big, clip.avi, 300, 200, 128, 96, FALSE, FALSE)\n"
         "PLAYANIM(v)\n"
         "PLAYANIM(big)\n");
    const uint32_t start = Frame() + 20;  // CLEAR, then PLAYANIM(v) in the next frame
    for (uint32_t ms : {20u, 250u, 420u, 1010u, 1590u}) {
      const uint32_t played = RunFor(start + ms - Headless->PlayedMs()) - start;
      const int due = static_cast<int>(played / 200);
      EXPECT_NEAR(Red(100, 50), 24 * due, 10) << played;
      EXPECT_NEAR(Red(163, 97), 24 * due, 10) << played;  // the clip's far corner
      EXPECT_TRUE(Background(164, 98));
      EXPECT_TRUE(Background(99, 49));
      // The second clip started a frame later and is drawn at twice the size.
      EXPECT_NEAR(Red(427, 295), 24 * static_cast<int>((played - 20) / 200), 10) << played;
      EXPECT_TRUE(Background(428, 296));
    }
  }
}

TEST_F(ScriptVideo, ClipsEndOrLoopAndTheirWaitsFollowThem) {
  Clip("clip.avi", "mpeg4");
  Play("CREATEANIM(once, clip.avi, 0, 0, 0, 0, FALSE, FALSE)\n"
       "PLAYANIM(once)\n"
       "WAITFORPOS(once, 10000000)\n"
       "NOTHING\n"
       "WAITFOR(once)\n"
       "NOTHING\n");
  Frames(2);
  const uint32_t begin = Headless->PlayedMs();
  uint32_t halfway = 0, ended = 0;
  for (int i = 0; i < 200 && ended == 0; ++i) {
    const uint32_t at = Frame() - begin;
    if (halfway == 0 && Section(0).CommandIndex >= 3) halfway = at;
    if (Section(0).CommandIndex == 5) ended = at;
  }
  EXPECT_NEAR(halfway, 1000, 40);
  EXPECT_NEAR(ended, 2000, 60);
  auto& player = *dynamic_cast<TVKAnim&>(*Veke->FindObject("ONCE")).Player;
  EXPECT_FALSE(player.Playing);
  EXPECT_EQ(player.GetTime(), 0);  // stopped at its start

  Play("CREATEANIM(loop, clip.avi, 0, 0, 0, 0, FALSE, TRUE)\n"
       "PLAYANIM(loop)\n"
       "WAIT(2550)\n"
       "STOPANIM(loop)\n");
  RunFor(2500);
  EXPECT_NEAR(Red(10, 10), 12 * 4, 12);  // past the end, round again: frame 4 of the clip
  RunFor(500);
  EXPECT_FALSE(dynamic_cast<TVKAnim&>(*Veke->FindObject("LOOP")).Player->Playing);
}

// A page that plays a clip and waits for it, called three times: with RESETSECTION the clip
// plays from its start and the wait lasts the clip on every visit; without, only the first
// time (the wait of a later visit ends at once).
TEST_F(ScriptVideo, APageWithResetSectionPlaysItsClipOnEveryVisit) {
  Clip("clip.avi", "mpeg4");
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "with RESETSECTION" : "without");
    Play(std::string("CALL(PAGE)\nCALL(PAGE)\nCALL(PAGE)\nWAIT(100000)\n") +
         "[PAGE]\n"
         "CREATEANIM(clip, clip.avi, 0, 0, 0, 0, FALSE, FALSE)\n" +
         (reset ? "RESETSECTION\n" : "") +
         "PLAYANIM(clip)\n"
         "WAITFOR(clip)\n"
         "RETURN\n");
    const TVKSection* page = Veke->FindSection("PAGE");
    std::vector<uint32_t> stays;  // milliseconds of each visit
    std::vector<int> midwayReds;  // the clip's look a second into each visit
    uint32_t entered = 0;
    for (int i = 0; i < 500 && stays.size() < 3; ++i) {
      const bool was = Veke->CurrentSection == page;
      const uint32_t at = Frame();
      if (!was && Veke->CurrentSection == page) entered = at;
      if (was && Veke->CurrentSection != page) stays.push_back(at - entered);
      if (was && Veke->CurrentSection == page && midwayReds.size() == stays.size() &&
          at - entered >= 1000)
        midwayReds.push_back(Red(10, 10));
    }
    ASSERT_EQ(stays.size(), 3u);
    EXPECT_NEAR(stays[0], 2060, 80);
    for (size_t visit = 1; visit < 3; ++visit)
      EXPECT_NEAR(stays[visit], reset ? 2060 : 60, 80) << "visit " << visit + 1;
    ASSERT_EQ(midwayReds.size(), reset ? 3u : 1u);
    EXPECT_NEAR(midwayReds[0], 12 * 9, 12);
    for (const int red : midwayReds) EXPECT_EQ(red, midwayReds[0]);
  }
}

TEST_F(ScriptVideo, AClipsSoundIsMixedWhileItPlays) {
  Clip("clip.avi", "mpeg4", "pcm_s16le");
  Play("CREATEANIM(v, clip.avi, 0, 0, 0, 0, FALSE, FALSE)\n"
       "WAIT(200)\n"
       "PLAYANIM(v)\n"
       "WAITFOR(v)\n"
       "WAIT(500)\n");
  Frames(160);
  int64_t first = -1, last = -1;
  for (size_t i = 0; i < Mix.size(); ++i)
    if (Mix[i] != 0) {
      if (first < 0) first = static_cast<int64_t>(i / 2);
      last = static_cast<int64_t>(i / 2);
    }
  ASSERT_GE(first, 0);
  EXPECT_NEAR(static_cast<double>(first) / 44100, 0.22, 0.03);  // PLAYANIM after the wait
  EXPECT_NEAR(static_cast<double>(last - first) / 44100, 2.0, 0.05);
  EXPECT_NEAR(soundsamples::SignChanges(Mix, 0, Mix.size() / 2, 500), 2 * 440 * 2, 8);
}

TEST_F(ScriptVideo, MissingAndBrokenClipsNeverPlay) {
  Temp.Write("broken.avi", "RIFF\x10\0\0\0AVI LIST garbage");
  Play("CREATEANIM(gone, nothere.avi, 0, 0, 0, 0, TRUE, FALSE)\n"
       "CREATEANIM(bad, broken.avi, 0, 0, 0, 0, TRUE, FALSE)\n"
       "PLAYANIM(gone)\n"
       "PLAYANIM(bad)\n"
       "WAITFOR(gone)\n"
       "WAITFOR(bad)\n"
       "WAITFORPOS(gone, 1000)\n"
       "MOVEANIM(gone, 10, 10, 100)\n"
       "NOTHING\n");
  Frames(20);
  EXPECT_EQ(Section(0).CommandIndex, 8);
  EXPECT_TRUE(Background(5, 5));
  auto& gone = *dynamic_cast<TVKAnim&>(*Veke->FindObject("GONE")).Player;
  EXPECT_EQ(gone.GetTime(), 0);
  EXPECT_FALSE(gone.Opened);
  EXPECT_FALSE(dynamic_cast<TVKAnim&>(*Veke->FindObject("BAD")).Player->Ready);
}

}  // namespace
