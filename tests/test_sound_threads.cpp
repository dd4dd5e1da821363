// Sounds on the SDL host, with its real threads: the audio callback pulling the mix and the
// timer threads handing refills to this thread. Sounds are stopped, freed while they play,
// and outlive the device, as quitting in the middle of a presentation does; the thread
// sanitizer build checks that none of it races.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "SoundSamples.h"
#include "TestSupport.h"
#include "audio/SE_AudioStream.h"
#include "audio/SE_MP3.h"

namespace {
using namespace soundsamples;

class SoundThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallHost(CreateSdlHost());
    wave = Temp.Write("tone.wav", WaveFile(Format(2, 44100, 16), Square(2, 44100, 16, 3.0, 300)))
               .string();
    compressed = (Temp.Path / "tone.ogg").string();
    const std::string command = "ffmpeg -v error -y -f lavfi -i sine=frequency=300:duration=3 " +
                                compressed;
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  void TearDown() override { InstallHost(std::make_unique<THeadlessHost>()); }
  // Runs the engine thread's side for a while: handed-over refills, as the engine loop does.
  static void Serve(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      Host().RunTasks();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  TTempFolder Temp;
  std::string wave, compressed;
};

TEST_F(SoundThreads, SoundsStopAndGoWhilePlaying) {
  auto device = std::make_unique<TDirectSound>();
  ASSERT_TRUE(device->Initialized) << device->ErrorText;
  for (int round = 0; round < 6; ++round) {
    auto stream = CreateAudioFileStream(device.get(), wave);
    ASSERT_NE(stream, nullptr);
    auto mp3 = std::make_unique<TGEMP3>(*device, compressed, round % 2 == 0);
    stream->SetLooped(round % 2 == 1);
    stream->Play();
    mp3->Play();
    Serve(120);
    EXPECT_TRUE(stream->Playing);
    EXPECT_GT(stream->Position, 0);
    EXPECT_TRUE(mp3->IsPlaying());
    EXPECT_GT(mp3->GetPosition(), 0);
    if (round % 3 == 0) {
      stream->Stop();
      mp3->Stop();
      EXPECT_EQ(mp3->GetPosition(), 0);
    }
    // Otherwise both are freed while they play.
  }
  // The device goes first, as the engine does at the end, while sounds still play.
  auto stream = CreateAudioFileStream(device.get(), wave);
  auto mp3 = std::make_unique<TGEMP3>(*device, compressed, true);
  stream->Play();
  mp3->Play();
  Serve(80);
  device.reset();
  Serve(80);
  stream.reset();
  mp3.reset();
}

}  // namespace
