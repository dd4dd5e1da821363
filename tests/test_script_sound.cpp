// Script sounds played through the whole player on the virtual clock: what the mix holds,
// when the waits on sounds end, and sounds that are missing, stopped or started twice.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "ObjectSamples.h"
#include "SoundSamples.h"
#include "TestSupport.h"
#include "base/SE_Log.h"
#include "engine/SE_Engine.h"
#include "player/VEKObjects.h"

namespace {
using namespace soundsamples;

constexpr uint32_t kFrameSamples = 882;  // 20 ms of 44 100 Hz

class ScriptSound : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    Headless->Quiet = true;
    Headless->OnAudio = [this](const int16_t* samples, uint32_t frames) {
      Mix.insert(Mix.end(), samples, samples + frames * 2);
    };
  }
  TVEKE& Play(const std::string& script) {
    Mix.clear();
    return Load(script);
  }
  // The first stereo frame of the mix that is not silent, or -1.
  int64_t FirstSound() const {
    for (size_t i = 0; i < Mix.size(); ++i)
      if (Mix[i] != 0) return static_cast<int64_t>(i / 2);
    return -1;
  }
  int64_t LastSound() const {
    for (size_t i = Mix.size(); i > 0; --i)
      if (Mix[i - 1] != 0) return static_cast<int64_t>((i - 1) / 2);
    return -1;
  }
  // Makes a compressed sound with the ffmpeg command.
  std::string Encode(const std::string& name, const std::string& source,
                     const std::string& options = "") {
    const std::string path = (Temp.Path / name).string();
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i " + source + " " + options + " " + path;
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "ffmpeg failed: " << command;
    return path;
  }

  // Plays frames until the main section's command index reaches `index`; the time of that
  // frame from the start of the run (the clock goes on from earlier runs), or 0 if never.
  uint32_t RunUntilCommand(int32_t index, uint32_t begin) {
    for (int i = 0; i < 200; ++i) {
      const uint32_t at = Frame();
      if (Section(0).CommandIndex == index) return at - begin;
    }
    return 0;
  }

  std::vector<int16_t> Mix;
  TTempFolder Temp;
  samples::TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(ScriptSound, AWaveIsMixedByteForByteAndItsWaitEndsWithIt) {
  const std::string samples = Noise(100000);
  Temp.Write("Beep.WAV", WaveFile(Format(2, 44100, 16), samples));
  Play("CREATESOUND(beep, beep.wav, FALSE, FALSE)\n"
       "WAIT(100)\n"
       "PLAYSOUND(beep)\n"
       "WAITFOR(beep)\n"
       "QUIT\n");
  const uint32_t ended = RunUntilCommand(3, 0);
  Frames(20);
  // PLAYSOUND runs in the frame at 100 ms, when the wait ends; that frame's mix starts with it.
  const int64_t start = FirstSound();
  EXPECT_EQ(start, 5 * kFrameSamples);
  ASSERT_GE(Mix.size() * 2, start * 4 + samples.size());
  EXPECT_EQ(std::memcmp(Mix.data() + start * 2, samples.data(), samples.size()), 0);
  for (size_t i = start * 2 + samples.size() / 2; i < Mix.size(); ++i) ASSERT_EQ(Mix[i], 0);
  // 100 000 bytes last 567 ms; the sound is seen to end at the second refill step after
  // its last byte (the first counts it played), in the frame after that step.
  EXPECT_GE(ended, 100u + 567u);
  EXPECT_LE(ended, 100u + 567u + 2 * 50u + 20u);
}

// The stream's ring holds two seconds; a looped sound of 1.7 s played for five comes round the
// ring and its own end several times, and every byte after each wrap is the right one.
TEST_F(ScriptSound, ALoopedWaveIsMixedByteForByteAcrossTheRingsWraps) {
  const std::string samples = Noise(300000);
  Temp.Write("loop.wav", WaveFile(Format(2, 44100, 16), samples));
  Play("CREATESOUND(loop, loop.wav, FALSE, TRUE)\n"
       "PLAYSOUND(loop)\n"
       "WAIT(100000)\n");
  Frames(250);
  const int64_t start = FirstSound();
  ASSERT_GE(start, 0);
  const size_t heard = (Mix.size() - start * 2) * 2;
  ASSERT_GT(heard, 4 * 176400u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(Mix.data() + start * 2);
  for (size_t i = 0; i < heard; ++i)
    ASSERT_EQ(bytes[i], static_cast<uint8_t>(samples[i % samples.size()])) << "byte " << i;
}

TEST_F(ScriptSound, APlaySoundLineRunTwicePlaysOnceAndStopSoundStops) {
  Temp.Write("tone.wav", WaveFile(Format(1, 22050, 16), Square(1, 22050, 16, 3.0, 200)));
  Play("CREATESOUND(tone, tone.wav, FALSE, FALSE)\n"
       "CALL(PLAY)\n"
       "CALL(PLAY)\n"
       "WAIT(500)\n"
       "STOPSOUND(tone)\n"
       "WAIT(1000)\n"
       "[PLAY]\n"
       "PLAYSOUND(tone)\n"
       "RETURN\n");
  Frames(80);
  // Once started, the tone runs from its start without a restart, until STOPSOUND.
  const int64_t start = FirstSound();
  ASSERT_GE(start, 0);
  EXPECT_EQ(SignChanges(Mix, 0, Mix.size() / 2), SignChanges(Mix, 1, Mix.size() / 2));
  const double heard = static_cast<double>(LastSound() - start) / 44100.0;
  EXPECT_GT(heard, 0.55);  // from PLAYSOUND at 20 ms to STOPSOUND at 620 ms
  EXPECT_LT(heard, 0.62);
  // 200 Hz: two sign changes per period.
  EXPECT_NEAR(SignChanges(Mix, 0, Mix.size() / 2), 400 * heard, 4);
}

// Positions count bytes of a wave file and 100-nanosecond units of compressed sound: a wait for
// a second's worth ends a second after the sound started, and SHOWPOS shows where it is.
TEST_F(ScriptSound, PositionWaitsFollowTheSoundPlayed) {
  Temp.Write("long.wav", WaveFile(Format(2, 44100, 16), Noise(400000)));
  Encode("long.ogg", "sine=frequency=441:duration=3:sample_rate=44100");
  for (const auto& [file, second] :
       {std::pair{"long.wav", 176400}, std::pair{"long.ogg", 10000000}}) {
    SCOPED_TRACE(file);
    StatusText.clear();
    Play("CREATESOUND(s, " + std::string(file) + ", FALSE, FALSE)\n"
         "PLAYSOUND(s)\n"
         "WAITFORPOS(s, " + std::to_string(second) + ")\n"
         "SHOWPOS(s)\n"
         "WAIT(100000)\n");
    const uint32_t reached = RunUntilCommand(3, Headless->PlayedMs());
    // PLAYSOUND at the first frame; a second of sound is played by 1000 ms, seen within a step.
    EXPECT_GE(reached, 1000u);
    EXPECT_LE(reached, 1000u + 80u);
    Frames(3);
    ASSERT_FALSE(StatusText.empty());
    EXPECT_EQ(StatusText.back(), ':');
    EXPECT_GE(std::stoll(StatusText), second);
    EXPECT_LE(std::stoll(StatusText), second + second / 10);
  }
}

TEST_F(ScriptSound, MissingSoundsAreSilentAndWaitForNothing) {
  Play("CREATESOUND(gone, nothere.wav, TRUE, TRUE)\n"
       "CREATESOUND(gone2, nothere.mp3, FALSE, FALSE)\n"
       "PLAYSOUND(gone)\n"
       "PLAYSOUND(gone2)\n"
       "WAITFOR(gone)\n"
       "WAITFORPOS(gone2, 1000)\n"
       "STOPSOUND(gone)\n"
       "SHOWPOS(gone)\n"
       "NOTHING\n");
  Frames(12);
  EXPECT_EQ(Section(0).CommandIndex, 7);  // every command has run: nothing held
  EXPECT_EQ(FirstSound(), -1);
  EXPECT_TRUE(Headless->Messages.empty());
}

TEST_F(ScriptSound, CompressedSoundsPlayAtTheirPitchAndLength) {
  // The last is a wave file of compressed (IMA ADPCM) samples, which the decoder plays.
  for (const auto& [name, options] : {std::pair{"tone.ogg", ""}, {"tone.mp3", ""},
                                      {"tone.wav", "-c:a adpcm_ima_wav"}}) {
    SCOPED_TRACE(name);
    Encode(name, "sine=frequency=441:duration=1:sample_rate=44100", options);
    Play("CREATESOUND(t, " + std::string(name) + ", FALSE, FALSE)\n"
         "PLAYSOUND(t)\n"
         "WAITFOR(t)\n"
         "QUIT\n");
    const uint32_t ended = RunUntilCommand(2, Headless->PlayedMs());
    Frames(5);
    const double seconds = static_cast<double>(LastSound() - FirstSound()) / 44100.0;
    EXPECT_NEAR(seconds, 1.0, 0.03);
    EXPECT_NEAR(SignChanges(Mix, 0, Mix.size() / 2, 500), 882, 4);
    EXPECT_GE(ended, 1000u);
    EXPECT_LE(ended, 1100u);
  }
}

TEST_F(ScriptSound, ALoopedCompressedSoundRepeatsUntilStopped) {
  Encode("loop.ogg", "sine=frequency=441:duration=0.5:sample_rate=44100");
  Play("CREATESOUND(t, loop.ogg, FALSE, TRUE)\n"
       "PLAYSOUND(t)\n"
       "WAIT(1800)\n"
       "STOPSOUND(t)\n"
       "WAIT(1000)\n");
  Frames(150);
  const double heard = static_cast<double>(LastSound() - FirstSound()) / 44100.0;
  EXPECT_NEAR(heard, 1.8, 0.06);
  // No gap where it wraps: every 10 ms of the loop has sound in it.
  const int64_t start = FirstSound();
  for (int64_t at = start; at + 441 < LastSound(); at += 441) {
    bool sounding = false;
    for (int64_t i = at; i < at + 441; ++i) sounding |= Mix[2 * i] != 0;
    ASSERT_TRUE(sounding) << "silent at " << at;
  }
}

// Lines of the log that say a sound was stopped to free a channel for another.
size_t EvictionLines(const std::string& file) {
  std::ifstream log(LogFilePath());
  size_t count = 0;
  for (std::string line; std::getline(log, line);)
    count += line.find("sound channels play: " + file + ", the sound that started first") !=
             std::string::npos;
  return count;
}

TEST_F(ScriptSound, OnlyPlayingSoundsTakeChannelsAndTheFirstStartedGivesWay) {
  const std::string wave =
      Temp.Write("w.wav", WaveFile(Format(2, 44100, 16), Noise(8000))).string();
  const std::string ogg = Encode("o.ogg", "sine=frequency=441:duration=1:sample_rate=44100");
  struct TCase {
    std::string File;
    int Declared, Played;
  };
  Headless->PlayMs = 60000;  // the cases play one after another on one clock
  for (const TCase& c : {TCase{wave, 65, 64}, {wave, 65, 65}, {wave, 1000, 70}, {ogg, 66, 66}}) {
    SCOPED_TRACE(c.File + " " + std::to_string(c.Declared) + " declared, " +
                 std::to_string(c.Played) + " played");
    std::string script;
    for (int i = 0; i < c.Declared; ++i)
      script += "CREATESOUND(s" + std::to_string(i) + ", " + c.File + ", FALSE, TRUE)\n";
    for (int i = 0; i < c.Played; ++i) script += "PLAYSOUND(s" + std::to_string(i) + ")\n";
    const size_t logged = EvictionLines(c.File);
    TVEKE& veke = Play(script + "WAIT(100000)\n");
    for (int i = 0; i < 1000 && Section(0).CommandIndex < c.Played; ++i) Frame();
    Frames(10);
    // Every declaration and every start went through, without a message.
    EXPECT_EQ(Section(0).CommandIndex, c.Played);
    EXPECT_TRUE(Headless->Messages.empty()) << Headless->Messages.front();
    const int stopped = std::max(c.Played - 64, 0);
    for (int i = 0; i < c.Played; ++i) {
      auto sound = std::dynamic_pointer_cast<TVKSound>(veke.FindObject("S" + std::to_string(i)));
      ASSERT_NE(sound, nullptr);
      EXPECT_EQ(sound->Busy(), i >= stopped) << "s" << i;
    }
    EXPECT_EQ(EvictionLines(c.File) - logged, static_cast<size_t>(stopped));
    EXPECT_GE(LastSound(), static_cast<int64_t>(Mix.size() / 2) - 2);  // still sounding
  }
}

}  // namespace

// A page entered again by CALL, JUMP or a button plays its sound on every visit when it has
// RESETSECTION, and on the first only when it has not; the sound a JUMP freed is made again.
TEST_F(ScriptSound, PagesWithResetSectionPlayTheirSoundOnEveryVisit) {
  Temp.Write("ding.wav", WaveFile(Format(2, 44100, 16), Noise(4 * 2205)));  // 50 ms
  Temp.Write("go.spr", samples::SolidSpr(20, 20, samples::kRed));
  const std::string page =
      "[PAGE]\n"
      "CREATESOUND(Ding, ding.wav, FALSE, FALSE)\n"
      "%RESET%"
      "PLAYSOUND(Ding)\n"
      "WAITFOR(Ding)\n"
      "%LEAVE%\n";
  const std::string hub = "[HUB]\n%RESET%WAIT(400)\nJUMP(PAGE)\n";
  const std::string button =
      "CREATEBUTTON(Go, , go.spr, , , 0, 0, 255, VISIBLE, ENABLED, PAGE)\nWAITFOR(Go)\n";
  struct TCase {
    const char* Name;
    std::string Main, Leave, After;
    bool Clicks;
    // Without RESETSECTION a page left by its JUMP goes on after that JUMP when it is entered
    // again: at the end of the section, where it stays.
    int VisitsWithout;
  } cases[] = {{"CALL", "CALL(PAGE)\nCALL(PAGE)\nCALL(PAGE)\nWAIT(5000)\n", "RETURN", "", false, 3},
               {"JUMP", "JUMP(PAGE)\n", "JUMP(HUB)", hub, false, 2},
               {"button", button, "RETURN", "", true, 3}};
  Headless->PlayMs = 1'000'000;  // the runs follow each other on one clock
  for (const TCase& c : cases) {
    for (const bool reset : {false, true}) {
      SCOPED_TRACE(std::string(c.Name) + (reset ? " with RESETSECTION" : " without"));
      std::string script = c.Main + page + c.After;
      for (const auto& [mark, text] : {std::pair<std::string, std::string>{"%LEAVE%", c.Leave},
                                       {"%RESET%", reset ? "RESETSECTION\n" : ""}})
        for (size_t at; (at = script.find(mark)) != std::string::npos;)
          script.replace(at, mark.size(), text);
      Play(script);
      const uint32_t begin = Headless->PlayedMs();
      if (c.Clicks)
        for (const uint32_t at : {100u, 400u, 700u}) {
          Headless->Schedule(begin + at, THostEventType::MouseDown, 10, 10, true);
          Headless->Schedule(begin + at + 20, THostEventType::MouseUp, 10, 10, false);
        }
      int visits = 0;
      const TVKSection* page = Veke->FindSection("PAGE");
      // Up to the third visit, and long enough after it for its sound to be heard.
      for (int i = 0, after = 0; i < 150 && after < 10; ++i) {
        const TVKSection* before = Veke->CurrentSection;
        Frame();
        if (Veke->CurrentSection == page && before != page) ++visits;
        if (visits == 3) ++after;
      }
      // Bursts of sound: the sound, then at least 10 ms of silence.
      int bursts = 0;
      for (size_t i = 0, quiet = 441; i < Mix.size() / 2; ++i) {
        const bool silent = Mix[2 * i] == 0 && Mix[2 * i + 1] == 0;
        if (!silent && quiet >= 441) ++bursts;
        quiet = silent ? quiet + 1 : 0;
      }
      EXPECT_EQ(visits, reset ? 3 : c.VisitsWithout);
      EXPECT_EQ(bursts, reset ? visits : 1);
    }
  }
}

// RESETSECTION starts a sound of its page that still plays over from its beginning, and leaves
// the sound of the section that called the page playing on.
TEST_F(ScriptSound, ResetSectionStartsItsOwnSoundOverAndLeavesTheMenusMusicPlaying) {
  Temp.Write("music.wav", WaveFile(Format(2, 44100, 16), Noise(4 * 44100 * 3)));
  Temp.Write("long.wav", WaveFile(Format(2, 44100, 16), Noise(4 * 44100)));
  Headless->PlayMs = 1'000'000;
  Play(
      "CREATESOUND(Music, music.wav, FALSE, FALSE)\n"
      "PLAYSOUND(Music)\n"
      "CALL(PAGE)\n"
      "CALL(PAGE)\n"
      "WAIT(100000)\n"
      "[PAGE]\n"
      "CREATESOUND(Long, long.wav, FALSE, FALSE)\n"
      "RESETSECTION\n"
      "PLAYSOUND(Long)\n"
      "WAIT(300)\n"
      "RETURN\n");
  TVKSection& page = *Veke->FindSection("PAGE");
  auto& music = static_cast<TVKSound&>(*Section(0).Objects[0]->Obj);
  auto& sound = static_cast<TVKSound&>(*page.Objects[0]->Obj);
  int64_t musicBefore = 0, longest = 0;
  int visits = 0;
  for (int i = 0; i < 60; ++i) {
    const bool was = Veke->CurrentSection == &page;
    Frame();
    if (!was && Veke->CurrentSection == &page) ++visits;
    EXPECT_GE(music.Position(), musicBefore) << "frame " << i;
    musicBefore = music.Position();
    // In the frame of the second visit's wait, the sound has only just begun again.
    if (visits == 2 && page.CommandIndex == 2) {
      EXPECT_LT(sound.Position(), longest / 3);
      EXPECT_TRUE(sound.Busy());
      EXPECT_TRUE(music.Busy());
      return;
    }
    if (visits == 1) longest = std::max(longest, sound.Position());
  }
  ADD_FAILURE() << "the second visit never reached its wait";
}
