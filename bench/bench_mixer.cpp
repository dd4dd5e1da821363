// Mixing eight sounds at once into 44 100 Hz 16-bit stereo, in multiples of real time on one
// core: our mixer against SDL's own conversion (SDL_AudioCVT) and mixing (SDL_MixAudioFormat)
// of the same data. The sounds differ as a presentation's do: 8 and 16 bits, mono and stereo,
// 11 025 to 48 000 Hz, with their own volumes.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "audio/SE_Mixer.h"

namespace {

constexpr uint32_t kFramesPerCall = 4096;  // what an audio callback or a long step asks for

struct TSound {
  uint16_t Channels, Bits;
  uint32_t Rate;
  int32_t Volume, Pan;  // hundredths of a decibel
};
const TSound kSounds[] = {{2, 16, 44100, 0, 0},   {2, 16, 44100, -300, 500},
                          {2, 8, 44100, -600, 0}, {1, 16, 44100, 0, -2000},
                          {1, 8, 22050, -100, 0}, {2, 16, 22050, -1200, 1000},
                          {2, 16, 48000, 0, 0},   {1, 8, 11025, -400, -400}};

TWaveFormat FormatOf(const TSound& sound) {
  TWaveFormat format;
  format.Channels = sound.Channels;
  format.BitsPerSample = sound.Bits;
  format.SamplesPerSec = sound.Rate;
  format.BlockAlign = static_cast<uint16_t>(sound.Channels * sound.Bits / 8);
  format.AvgBytesPerSec = sound.Rate * format.BlockAlign;
  return format;
}

// One second of noise in the sound's own format.
std::vector<uint8_t> Second(const TSound& sound, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data(FormatOf(sound).AvgBytesPerSec);
  for (uint8_t& byte : data) byte = static_cast<uint8_t>(random() >> 26);  // quiet: no clamping
  return data;
}

// Rates of the final run of each case, in multiples of real time; the program's collector
// reads only pixel rates, so this file prints its own line of the ratio table at exit.
std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor time, like the counter: the machine may be busy with other work.
template <typename TMixOnce>
void Measure(benchmark::State& state, const std::string& name, TMixOnce mixOnce) {
  const double start = ThreadSeconds();
  for (auto _ : state) mixOnce();
  const double seconds = ThreadSeconds() - start;
  const double realTime = static_cast<double>(state.iterations()) * kFramesPerCall / kMixRate;
  state.counters["x realtime"] = benchmark::Counter(realTime, benchmark::Counter::kIsRate);
  if (seconds > 0) Rates()[name] = realTime / seconds;
}

void MixOurs(benchmark::State& state) {
  TAudioMixer mixer;
  uint32_t seed = 1;
  for (const TSound& sound : kSounds) {
    const std::vector<uint8_t> data = Second(sound, seed++);
    const TAudioChannel channel =
        mixer.CreateChannel(FormatOf(sound), static_cast<uint32_t>(data.size()));
    mixer.Write(channel, 0, data.data(), static_cast<uint32_t>(data.size()));
    mixer.SetVolume(channel, sound.Volume);
    mixer.SetPan(channel, sound.Pan);
    mixer.Play(channel, true);
  }
  std::vector<int16_t> out(kFramesPerCall * kMixChannels);
  Measure(state, "mix8/ours", [&] {
    mixer.Mix(out.data(), kFramesPerCall);
    benchmark::DoNotOptimize(out.data());
  });
}

// Each sound's share of a call converted by SDL to the mix format, then mixed in at its
// volume (SDL has no pan).
struct TSdlSound {
  SDL_AudioCVT Convert{};
  std::vector<uint8_t> Data;
  std::vector<uint8_t> Work;
  int SourceBytes = 0;
  int Volume = SDL_MIX_MAXVOLUME;
};

void MixSdl(benchmark::State& state) {
  std::vector<TSdlSound> sounds(std::size(kSounds));
  for (size_t i = 0; i < sounds.size(); ++i) {
    const TSound& sound = kSounds[i];
    TSdlSound& sdl = sounds[i];
    const SDL_AudioFormat format = sound.Bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    if (SDL_BuildAudioCVT(&sdl.Convert, format, static_cast<Uint8>(sound.Channels),
                          static_cast<int>(sound.Rate), AUDIO_S16SYS, kMixChannels, kMixRate) < 0)
      return state.SkipWithError(SDL_GetError());
    sdl.Data = Second(sound, static_cast<uint32_t>(i + 1));
    sdl.SourceBytes = static_cast<int>(uint64_t{kFramesPerCall} * sound.Rate / kMixRate) *
                      sound.Channels * sound.Bits / 8;
    sdl.Work.resize(static_cast<size_t>(sdl.SourceBytes) * sdl.Convert.len_mult);
    sdl.Volume = static_cast<int>(SDL_MIX_MAXVOLUME * std::pow(10.0, sound.Volume / 2000.0));
  }
  std::vector<int16_t> out(kFramesPerCall * kMixChannels);
  const int outBytes = static_cast<int>(out.size() * 2);
  size_t offset = 0;
  Measure(state, "mix8/SDL", [&] {
    std::fill(out.begin(), out.end(), 0);
    for (TSdlSound& sdl : sounds) {
      const size_t at = offset % (sdl.Data.size() - sdl.SourceBytes);
      std::memcpy(sdl.Work.data(), sdl.Data.data() + at, sdl.SourceBytes);
      sdl.Convert.buf = sdl.Work.data();
      sdl.Convert.len = sdl.SourceBytes;
      SDL_ConvertAudio(&sdl.Convert);
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), sdl.Work.data(), AUDIO_S16SYS,
                         static_cast<Uint32>(std::min(sdl.Convert.len_cvt, outBytes)), sdl.Volume);
    }
    offset += 4096;
    benchmark::DoNotOptimize(out.data());
  });
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("mix8/ours", MixOurs)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("mix8/SDL", MixSdl)->Unit(benchmark::kMicrosecond);
  // Made before the handler is registered, so that they are still there when it runs.
  Rates();
  TimeRatios();
  std::atexit([] {
    if (Rates().size() < 2) return;  // filtered out
    // The program has printed the other pairs by now.
    TimeRatios() = {{"mix8/ours", "mix8/SDL"}};
    std::printf("\nmixing 8 sounds, in multiples of real time on one core:");
    PrintTimeRatios(Rates());
  });
  return true;
}();

}  // namespace
