// The software mixer: format conversion, rate conversion, gains, clamping, rings and handles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "HeapCounter.h"
#include "audio/SE_Mixer.h"

namespace {

TWaveFormat Format(uint16_t channels, uint16_t bits, uint32_t rate) {
  TWaveFormat format;
  format.Channels = channels;
  format.BitsPerSample = bits;
  format.SamplesPerSec = rate;
  format.BlockAlign = static_cast<uint16_t>(channels * bits / 8);
  format.AvgBytesPerSec = rate * format.BlockAlign;
  return format;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

// A channel holding `data`, started.
TAudioChannel Playing(TAudioMixer& mixer, const TWaveFormat& format,
                      const std::vector<uint8_t>& data, bool looping = false) {
  TAudioChannel channel = mixer.CreateChannel(format, static_cast<uint32_t>(data.size()));
  EXPECT_TRUE(mixer.Write(channel, 0, data.data(), static_cast<uint32_t>(data.size())));
  EXPECT_TRUE(mixer.Play(channel, looping));
  return channel;
}

std::vector<int16_t> Mix(TAudioMixer& mixer, uint32_t frames) {
  std::vector<int16_t> out(frames * kMixChannels, 0x5555);
  mixer.Mix(out.data(), frames);
  return out;
}

// Stereo frames mixed until the channel stops (at most `limit`).
uint32_t FramesUntilStopped(TAudioMixer& mixer, TAudioChannel channel, uint32_t limit) {
  uint32_t frames = 0;
  int16_t pair[2];
  while (mixer.IsPlaying(channel) && frames < limit) {
    mixer.Mix(pair, 1);
    ++frames;
  }
  return frames;
}

TEST(Mixer, SixteenBitStereoAtTheMixRateComesOutBitExactThenSilence) {
  std::mt19937 random(11);
  std::vector<uint8_t> wave(100000);
  for (uint8_t& byte : wave) byte = static_cast<uint8_t>(random());
  TAudioMixer mixer;
  TAudioChannel channel = Playing(mixer, Format(2, 16, 44100), wave);

  // Pieces of odd sizes, as callbacks and steps come.
  std::vector<uint8_t> heard;
  for (uint32_t piece : {1u, 881u, 1024u, 7919u, 20000u}) {
    const std::vector<int16_t> out = Mix(mixer, piece);
    const auto* bytes = reinterpret_cast<const uint8_t*>(out.data());
    heard.insert(heard.end(), bytes, bytes + out.size() * 2);
  }
  ASSERT_GE(heard.size(), wave.size());
  EXPECT_TRUE(std::equal(wave.begin(), wave.end(), heard.begin()));
  EXPECT_TRUE(std::all_of(heard.begin() + wave.size(), heard.end(), [](uint8_t b) { return !b; }));

  EXPECT_FALSE(mixer.IsPlaying(channel));
  uint64_t played = 0;
  uint32_t cursor = 1;
  EXPECT_TRUE(mixer.GetPlayedBytes(channel, played));
  EXPECT_EQ(played, wave.size());
  EXPECT_TRUE(mixer.GetPlayPosition(channel, cursor));
  EXPECT_EQ(cursor, 0u);  // played out: a new Play starts from the beginning
}

TEST(Mixer, EightBitIsWidenedToSigned16AndMonoGoesToBothSides) {
  TAudioMixer mono8, stereo8, mono16;
  Playing(mono8, Format(1, 8, 44100), {0, 128, 255, 64});
  EXPECT_EQ(Mix(mono8, 4),
            (std::vector<int16_t>{-32768, -32768, 0, 0, 32512, 32512, -16384, -16384}));
  Playing(stereo8, Format(2, 8, 44100), {255, 0, 129, 127});
  EXPECT_EQ(Mix(stereo8, 2), (std::vector<int16_t>{32512, -32768, 256, -256}));
  Playing(mono16, Format(1, 16, 44100), Bytes({1234, -32768}));
  EXPECT_EQ(Mix(mono16, 2), (std::vector<int16_t>{1234, 1234, -32768, -32768}));
}

TEST(Mixer, LowerAndHigherRatesPlayAtTheirPitchAndLength) {
  constexpr uint32_t kFrames = 4410;
  const std::vector<uint8_t> mono8(kFrames, 200);
  for (auto [rate, expected] : {std::pair{22050u, 2 * kFrames}, std::pair{11025u, 4 * kFrames},
                                std::pair{44100u, kFrames}}) {
    TAudioMixer mixer;
    TAudioChannel channel = Playing(mixer, Format(1, 8, rate), mono8);
    EXPECT_EQ(FramesUntilStopped(mixer, channel, 100000), expected) << rate << " Hz";
    uint64_t played = 0;
    mixer.GetPlayedBytes(channel, played);
    EXPECT_EQ(played, kFrames) << rate << " Hz";
  }

  // A frequency set on the channel plays its ring that much faster or slower.
  TAudioMixer mixer;
  TAudioChannel channel = Playing(mixer, Format(2, 16, 44100), std::vector<uint8_t>(48000 * 4));
  EXPECT_TRUE(mixer.SetFrequency(channel, 48000));
  const uint32_t frames = FramesUntilStopped(mixer, channel, 100000);
  EXPECT_NEAR(frames, 44100, 1);
}

TEST(Mixer, InterpolationRunsBetweenFramesAndAcrossTheLoop) {
  // Half the mix rate: every other output frame lies halfway between two of the ring's.
  const std::vector<uint8_t> ramp = Bytes({1000, 2000, 3000, 4000});
  TAudioMixer looped;
  Playing(looped, Format(1, 16, 22050), ramp, true);
  const std::vector<int16_t> out = Mix(looped, 10);
  std::vector<int16_t> left;
  for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
  // After the last frame the ring starts again, so the step between them is smooth too.
  EXPECT_EQ(left,
            (std::vector<int16_t>{1000, 1500, 2000, 2500, 3000, 3500, 4000, 2500, 1000, 1500}));

  TAudioMixer once;
  TAudioChannel channel = Playing(once, Format(1, 16, 22050), ramp);
  const std::vector<int16_t> end = Mix(once, 10);
  EXPECT_EQ(end[12], 4000);
  EXPECT_EQ(end[14], 2000);  // fading towards the silence after the sound
  EXPECT_EQ(end[16], 0);
  EXPECT_FALSE(once.IsPlaying(channel));
}

TEST(Mixer, VolumeAndPanAreDecibelGains) {
  const std::vector<uint8_t> loud = Bytes({20000, 20000});
  TAudioMixer mixer;
  TAudioChannel channel = Playing(mixer, Format(2, 16, 44100), loud, true);
  TAudioMixer quiet;
  quiet.SetVolume(Playing(quiet, Format(1, 16, 44100), Bytes({-32768})), -10000);
  auto gains = [&](int32_t volume, int32_t pan) {
    mixer.SetVolume(channel, volume);
    mixer.SetPan(channel, pan);
    const std::vector<int16_t> out = Mix(mixer, 1);
    return std::pair{out[0] / 20000.0, out[1] / 20000.0};
  };
  double left = 0, right = 0;
  std::tie(left, right) = gains(-600, 0);  // 6 dB: half the amplitude
  EXPECT_NEAR(left, 0.501, 0.001);
  EXPECT_NEAR(right, 0.501, 0.001);
  EXPECT_EQ(gains(-10000, 0), std::pair(0.0, 0.0));
  EXPECT_EQ(Mix(quiet, 1), (std::vector<int16_t>{0, 0}));  // not even the last bit
  std::tie(left, right) = gains(0, 600);                   // to the right: the left side 6 dB down
  EXPECT_NEAR(left, 0.501, 0.001);
  EXPECT_EQ(right, 1.0);
  std::tie(left, right) = gains(-600, -2000);  // volume and pan add up on the far side
  EXPECT_NEAR(left, 0.501, 0.001);
  EXPECT_NEAR(right, 0.0501, 0.0005);
  EXPECT_EQ(gains(0, -10000), std::pair(1.0, 0.0));
  EXPECT_EQ(gains(0, 10000), std::pair(0.0, 1.0));

  // Out-of-range settings clamp, as the device's own range does.
  int32_t volume = 1, pan = 1;
  mixer.SetVolume(channel, -20000);
  mixer.SetPan(channel, 20000);
  mixer.GetVolume(channel, volume);
  mixer.GetPan(channel, pan);
  EXPECT_EQ(std::pair(volume, pan), std::pair(-10000, 10000));
}

TEST(Mixer, ChannelsAreSummedAndClampedOnceAtTheEnd) {
  // 30000 + 30000 - 30000: clamping each addition would lose the last channel's share.
  const std::vector<uint8_t> loud = Bytes({30000, -30000, 30000, -30000, 30000, 0});
  const std::vector<uint8_t> against = Bytes({-30000, 30000, 0, 0, -30000, 0});
  TAudioMixer mixer;
  for (const auto* data : {&loud, &loud, &against})
    Playing(mixer, Format(2, 16, 44100), *data, true);
  // Seven frames: the clamp's eight-sample steps and the rest after them.
  const std::vector<int16_t> out = Mix(mixer, 7);
  const std::vector<int16_t> period{30000, -30000, 32767, -32768, 30000, 0};
  for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], period[i % period.size()]) << i;
}

TEST(Mixer, LoopingWrapsWithoutAGap) {
  std::vector<int16_t> ring(2 * 1000);
  for (size_t i = 0; i < ring.size(); ++i) ring[i] = static_cast<int16_t>(i * 7 - 7000);
  TAudioMixer mixer;
  TAudioChannel channel = Playing(mixer, Format(2, 16, 44100), Bytes(ring), true);
  std::vector<int16_t> heard;
  for (int i = 0; i < 8; ++i) {
    const std::vector<int16_t> out = Mix(mixer, 333);
    heard.insert(heard.end(), out.begin(), out.end());
  }
  for (size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], ring[i % ring.size()]) << i;
  uint64_t played = 0;
  uint32_t cursor = 0;
  mixer.GetPlayedBytes(channel, played);
  mixer.GetPlayPosition(channel, cursor);
  EXPECT_EQ(played, 8u * 333 * 4);
  EXPECT_EQ(cursor, (8u * 333 % 1000) * 4);
  EXPECT_TRUE(mixer.IsPlaying(channel));
}

TEST(Mixer, WritesWrapAtTheRingsEndAndRefuseWhatDoesNotFit) {
  TAudioMixer mixer;
  TAudioChannel channel = mixer.CreateChannel(Format(2, 16, 44100), 16);
  const std::vector<uint8_t> data = Bytes({1, 2, 3, 4, 5, 6});
  EXPECT_TRUE(mixer.Write(channel, 12, data.data(), 12));  // two frames past the end
  mixer.Play(channel, false);
  EXPECT_EQ(Mix(mixer, 4), (std::vector<int16_t>{3, 4, 5, 6, 0, 0, 1, 2}));

  EXPECT_FALSE(mixer.Write(channel, 16, data.data(), 4));
  EXPECT_FALSE(mixer.Write(channel, 0, std::vector<uint8_t>(20).data(), 20));
  EXPECT_TRUE(mixer.Write(channel, 4, data.data(), 0));
}

TEST(Mixer, CursorMovesOnlyAsTheMixConsumesIt) {
  TAudioMixer mixer;
  TAudioChannel channel = mixer.CreateChannel(Format(2, 16, 44100), 4000);
  uint32_t cursor = 1;
  EXPECT_TRUE(mixer.SetPlayPosition(channel, 403));  // inside the block at 400
  mixer.GetPlayPosition(channel, cursor);
  EXPECT_EQ(cursor, 400u);
  EXPECT_FALSE(mixer.SetPlayPosition(channel, 4000));
  Mix(mixer, 50);  // stopped: no movement
  mixer.GetPlayPosition(channel, cursor);
  EXPECT_EQ(cursor, 400u);
  mixer.Play(channel, true);
  Mix(mixer, 50);
  mixer.Stop(channel);
  Mix(mixer, 50);
  mixer.GetPlayPosition(channel, cursor);
  EXPECT_EQ(cursor, 600u);
  uint64_t played = 0;
  mixer.GetPlayedBytes(channel, played);
  EXPECT_EQ(played, 200u);  // a jump of the cursor is not heard
}

TEST(Mixer, StaleHandlesAndAFullTableReachNothing) {
  TAudioMixer mixer;
  const TWaveFormat format = Format(1, 8, 22050);
  TAudioChannel gone = mixer.CreateChannel(format, 100);
  mixer.DestroyChannel(gone);
  TAudioChannel reused = mixer.CreateChannel(format, 100);
  EXPECT_EQ(reused.Index, gone.Index);
  const uint8_t byte = 255;
  int32_t volume = 0;
  EXPECT_FALSE(mixer.Write(gone, 0, &byte, 1));
  EXPECT_FALSE(mixer.Play(gone, true));
  EXPECT_FALSE(mixer.SetVolume(gone, -100));
  EXPECT_FALSE(mixer.GetVolume(gone, volume));
  EXPECT_FALSE(mixer.IsPlaying(reused));  // nothing reached the new owner of the slot
  mixer.DestroyChannel(gone);             // harmless
  EXPECT_TRUE(mixer.Play(reused, false));
  EXPECT_FALSE(mixer.Play(TAudioChannel{}, false));
  EXPECT_FALSE(mixer.Play(TAudioChannel{kMaxAudioChannels, 1}, false));

  std::vector<TAudioChannel> all{reused};
  while (all.size() < kMaxAudioChannels) all.push_back(mixer.CreateChannel(format, 4));
  EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](TAudioChannel c) { return bool(c); }));
  EXPECT_FALSE(mixer.CreateChannel(format, 4));
  mixer.DestroyChannel(all[7]);
  EXPECT_TRUE(mixer.CreateChannel(format, 4));
}

TEST(Mixer, OnlyPcmOfEightOrSixteenBitsInOneOrTwoChannelsIsPlayable) {
  TAudioMixer mixer;
  TWaveFormat misaligned = Format(2, 16, 44100);
  misaligned.BlockAlign = 2;
  for (const TWaveFormat& format : {Format(2, 24, 44100), Format(3, 16, 44100), Format(1, 16, 99),
                                    Format(1, 16, 200001), misaligned})
    EXPECT_FALSE(mixer.CreateChannel(format, 4096));
  EXPECT_FALSE(mixer.CreateChannel(Format(2, 16, 44100), 3));  // less than a block
  const TAudioChannel channel = mixer.CreateChannel(Format(2, 16, 44100), 7);
  EXPECT_FALSE(mixer.SetPlayPosition(channel, 4));  // rounded down to one block
  EXPECT_FALSE(mixer.SetFrequency(channel, 50));
  uint32_t frequency = 0;
  mixer.SetFrequency(channel, 22050);
  mixer.SetFrequency(channel, 0);
  mixer.GetFrequency(channel, frequency);
  EXPECT_EQ(frequency, 44100u);
}

TEST(Mixer, RefillsAndMixesDoNotAllocate) {
  TAudioMixer mixer;
  std::vector<uint8_t> refill(8820, 77);
  std::vector<int16_t> out(2048 * 2);
  std::vector<TAudioChannel> channels;
  for (const TWaveFormat& format :
       {Format(2, 16, 44100), Format(1, 8, 22050), Format(2, 8, 48000), Format(1, 16, 11025)}) {
    channels.push_back(Playing(mixer, format, std::vector<uint8_t>(format.AvgBytesPerSec), true));
  }
  THeapWatch watch;
  for (int turn = 0; turn < 20; ++turn) {
    for (TAudioChannel channel : channels) mixer.Write(channel, turn * 100, refill.data(), 8820);
    mixer.Mix(out.data(), 2048);
  }
  EXPECT_EQ(watch.Peak(), 0u);
}

}  // namespace
