// Wave files read as streams of samples, the device's ring buffers, and streamed wave sound:
// what reaches the mix, how the position follows it, where it stops, and how it loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "SoundSamples.h"
#include "TestSupport.h"
#include "audio/SE_AudioStream.h"

namespace {
using namespace soundsamples;

class Sound : public ::testing::Test, public THeadlessFixture {
 protected:
  void SetUp() override {
    Headless->Quiet = true;
    Device = std::make_unique<TDirectSound>();
    ASSERT_TRUE(Device->Initialized);
  }
  void TearDown() override { Device.reset(); }
  // Opens wave bytes as a file of the temporary folder.
  std::unique_ptr<TAudioFileStream> Open(const std::string& bytes, bool looped = false) {
    const auto path = Temp.Write("s.wav", bytes);
    auto stream = CreateAudioFileStream(Device.get(), path.string());
    if (stream) stream->SetLooped(looped);
    return stream;
  }
  // Plays the virtual clock on by `ms`: the host's tasks, then the mix, frame by frame.
  std::vector<int16_t> Run(uint32_t ms) { return RunHost(*Headless, ms); }

  TTempFolder Temp;
  std::unique_ptr<TDirectSound> Device;
};

TEST_F(Sound, ChunksAreWalkedForTheFormatAndTheSamples) {
  const std::string file = WaveFile(Format(1, 22050, 16), Ramp(64), {18, "LIST", 6, -1});
  TMemoryStream extra(std::vector<uint8_t>(file.begin(), file.end()));
  TWaveStream wave(extra);
  wave.OpenRead();
  EXPECT_EQ(wave.GetFormatSize(), 18);  // the extra-size field is kept
  ASSERT_NE(wave.GetWaveFormat(), nullptr);
  EXPECT_EQ(wave.GetWaveFormat()->SamplesPerSec, 22050u);
  EXPECT_EQ(wave.GetSize(), 64);
  std::vector<uint8_t> read(100);
  EXPECT_EQ(wave.Read(read.data(), 100), 64);  // clamped at the end of the samples
  EXPECT_EQ(std::string(read.begin(), read.begin() + 64), Ramp(64));
  EXPECT_EQ(wave.Seek(-10, 2), 54);
  EXPECT_EQ(wave.Seek(100, 1), 64);
  EXPECT_EQ(wave.Seek(-5, 0), 0);
  EXPECT_TRUE(Headless->Messages.empty());
}

TEST_F(Sound, BrokenHeadersAreReportedAndLyingSizesCut) {
  // Not RIFF: reported, and still scanned for its chunks.
  std::string bytes = WaveFile(Format(2, 44100, 16), Ramp(40));
  bytes.replace(0, 4, "RIFX");
  TMemoryStream notRiff(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  TWaveStream first(notRiff);
  first.OpenRead();
  EXPECT_EQ(Headless->Messages.back(), ": [DirectSound] Wave is invalid!");
  EXPECT_EQ(first.GetSize(), 40);
  // A data chunk that claims more than the file holds plays what is there.
  const std::string lying = WaveFile(Format(2, 44100, 16), Ramp(40), {0, "", 0, 0x7F000010});
  TMemoryStream cut(std::vector<uint8_t>(lying.begin(), lying.end()));
  TWaveStream second(cut);
  second.OpenRead();
  EXPECT_EQ(second.GetSize(), 40);
  // Formats that describe no sound are refused.
  for (const std::string& format : {Format(0, 44100, 16), Format(2, 0, 16),
                                    Format(2, 44100, 16).substr(0, 12)}) {
    Headless->Messages.clear();
    const std::string file = WaveFile(format, Ramp(8));
    TMemoryStream stream(std::vector<uint8_t>(file.begin(), file.end()));
    TWaveStream wave(stream);
    wave.OpenRead();
    EXPECT_FALSE(wave.FormatValid());
    EXPECT_EQ(Headless->Messages, std::vector<std::string>{": [DirectSound] Wave is invalid!"});
    EXPECT_EQ(Open(file), nullptr);  // a silent object, no ring
  }
}

TEST_F(Sound, BuffersClampVolumeAndHoldOneLock) {
  TDirectSoundBuffer buffer(*Device);
  const TWaveFormat format;
  TDSBufferDesc desc;
  desc.BufferBytes = 4000;
  desc.Format = &format;
  ASSERT_TRUE(buffer.CreateBuffer(desc));
  buffer.SetVolume(-20000);
  EXPECT_EQ(buffer.GetVolume(), -10000);
  buffer.SetVolume(100);
  EXPECT_EQ(buffer.GetVolume(), 0);
  uint8_t *a = nullptr, *b = nullptr;
  uint32_t sa = 0, sb = 0;
  ASSERT_TRUE(buffer.Lock(3000, 2000, a, sa, b, sb));
  EXPECT_EQ(sa, 1000u);
  EXPECT_EQ(sb, 1000u);
  EXPECT_FALSE(buffer.Lock(0, 4, a, sa, b, sb));  // one lock at a time
  buffer.Unlock();
  EXPECT_TRUE(buffer.Lock(0, 4, a, sa, b, sb));
  buffer.Unlock();
  // A buffer that outlives its device does nothing, quietly.
  Device.reset();
  buffer.Play(true);
  EXPECT_FALSE(buffer.IsPlaying());
}

// A buffer takes a mixer channel only when it plays; what was set on it before then is what
// the channel plays with.
TEST_F(Sound, SettingsMadeBeforeTheFirstPlayReachTheMix) {
  struct TCase {
    const char* What;
    std::function<void(TDirectSoundBuffer&)> Set;
    std::function<void(const std::vector<int16_t>&, TDirectSoundBuffer&)> Check;
  };
  const std::string samples = Noise(40000);
  const auto* source = reinterpret_cast<const int16_t*>(samples.data());
  const TCase cases[] = {
      {"volume", [](TDirectSoundBuffer& b) { b.SetVolume(-10000); },
       [](const std::vector<int16_t>& mix, TDirectSoundBuffer&) {
         EXPECT_EQ(std::count(mix.begin(), mix.end(), 0), std::ptrdiff_t(mix.size()));
       }},
      {"pan", [](TDirectSoundBuffer& b) { b.SetPan(10000); },
       [&](const std::vector<int16_t>& mix, TDirectSoundBuffer&) {
         for (size_t i = 0; i < 100; ++i) {
           EXPECT_EQ(mix[2 * i], 0);
           EXPECT_EQ(mix[2 * i + 1], source[2 * i + 1]);
         }
       }},
      {"position", [](TDirectSoundBuffer& b) { b.SetPlayPosition(4002); },
       [&](const std::vector<int16_t>& mix, TDirectSoundBuffer& b) {
         EXPECT_EQ(std::memcmp(mix.data(), source + 2000, 400), 0);
         EXPECT_EQ(b.GetPlayPosition(), 4000u + 882u * 4);
       }},
      {"frequency", [](TDirectSoundBuffer& b) { b.SetFrequency(22050); },
       [](const std::vector<int16_t>&, TDirectSoundBuffer& b) {
         EXPECT_EQ(b.GetFrequency(), 22050u);
         EXPECT_EQ(b.GetPlayedBytes(), 441u * 4);
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TDirectSoundBuffer buffer(*Device);
    const TWaveFormat format;
    TDSBufferDesc desc;
    desc.BufferBytes = 40000;
    desc.Format = &format;
    ASSERT_TRUE(buffer.CreateBuffer(desc));
    uint8_t *a = nullptr, *b = nullptr;
    uint32_t sa = 0, sb = 0;
    ASSERT_TRUE(buffer.Lock(0, 40000, a, sa, b, sb));
    std::memcpy(a, samples.data(), sa);
    buffer.Unlock();
    c.Set(buffer);
    ASSERT_TRUE(buffer.Play(false));
    const std::vector<int16_t> mix = Run(20);
    c.Check(mix, buffer);
  }
}

TEST_F(Sound, PositionsAreClampedAndAligned) {
  auto stream = Open(WaveFile(Format(2, 44100, 16), Ramp(1000)));
  ASSERT_NE(stream, nullptr);
  stream->SetPosition(3);
  EXPECT_EQ(stream->Position, 0);
  stream->SetPosition(-5);
  EXPECT_EQ(stream->Position, 0);
  stream->SetPosition(5000);
  EXPECT_EQ(stream->Position, 996);  // the last whole block
  stream->SetBufferLength(5);
  EXPECT_EQ(stream->BufferLength, 10);
  EXPECT_EQ(stream->BufferSize, 1764u);
  stream->SetPosition(0);
  stream->Play();
  ASSERT_NE(stream->Notify, nullptr);
  EXPECT_EQ(stream->Notify->Interval, 2u);
  // Empty samples never play.
  auto empty = Open(WaveFile(Format(2, 44100, 16), ""));
  ASSERT_NE(empty, nullptr);
  empty->Play();
  EXPECT_FALSE(empty->Playing);
}

TEST_F(Sound, APlayedSoundReachesTheMixWholeThenSilenceAndStops) {
  const std::string samples = Noise(100000);
  auto stream = Open(WaveFile(Format(2, 44100, 16), samples));
  ASSERT_NE(stream, nullptr);
  stream->Play();
  std::vector<int16_t> mix;
  int32_t last = -1;
  while (stream->Playing && mix.size() < 4 * 44100) {
    const auto part = Run(20);
    mix.insert(mix.end(), part.begin(), part.end());
    EXPECT_GE(stream->Position, last);  // the position only rises
    last = stream->Position;
  }
  EXPECT_FALSE(stream->Playing);
  EXPECT_EQ(stream->Position, 100000);
  // Stopped at the second refill step (50 ms apart) after the last byte was heard, seen in
  // 20 ms frames.
  EXPECT_LT(mix.size() * 2, 100000u + 2 * 8820u + 3528u);
  ASSERT_GE(mix.size() * 2, 100000u);
  EXPECT_EQ(std::memcmp(mix.data(), samples.data(), samples.size()), 0);
  for (size_t i = samples.size() / 2; i < mix.size(); ++i) ASSERT_EQ(mix[i], 0) << i;
}

TEST_F(Sound, ALoopedSoundRepeatsWithoutAGapAcrossTheRing) {
  const std::string samples = Noise(30000);  // the ring wraps over it many times
  auto stream = Open(WaveFile(Format(2, 44100, 16), samples), true);
  ASSERT_NE(stream, nullptr);
  stream->Play();
  const auto mix = Run(3000);
  ASSERT_TRUE(stream->Playing);
  EXPECT_LT(stream->Position, 30000);
  const auto* bytes = reinterpret_cast<const uint8_t*>(mix.data());
  for (size_t i = 0; i < mix.size() * 2; ++i)
    ASSERT_EQ(bytes[i], static_cast<uint8_t>(samples[i % samples.size()])) << i;
}

TEST_F(Sound, EightBitMonoAndOtherRatesPlayForTheirLength) {
  for (const auto& [channels, rate, bits] :
       {std::tuple{1, 22050, 8}, std::tuple{1, 11025, 16}, std::tuple{2, 48000, 8}}) {
    SCOPED_TRACE(std::to_string(channels) + "ch " + std::to_string(rate) + " " +
                 std::to_string(bits) + "-bit");
    // Half a second of a full-scale square wave.
    auto stream = Open(WaveFile(Format(channels, rate, bits), Square(channels, rate, bits, 0.5, 100)));
    ASSERT_NE(stream, nullptr);
    stream->Play();
    std::vector<int16_t> mix;
    while (stream->Playing && mix.size() < 4 * 44100) {
      const auto part = Run(20);
      mix.insert(mix.end(), part.begin(), part.end());
    }
    // The sound lasts half a second of the mix, give or take a frame of the rate conversion.
    size_t last = 0;
    for (size_t i = 0; i < mix.size() / 2; ++i)
      if (mix[2 * i] != 0) last = i;
    EXPECT_NEAR(static_cast<double>(last), 22050.0, 3.0);
    // Its pitch: 100 Hz, so about 100 sign changes per half second on each side.
    EXPECT_NEAR(SignChanges(mix, 0, last), 100, 2);
    EXPECT_NEAR(SignChanges(mix, 1, last), 100, 2);
  }
}

}  // namespace
