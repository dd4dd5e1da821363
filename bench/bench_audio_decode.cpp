// Decoding a 30-second 128 kbit/s stereo MP3 to 44 100 Hz 16-bit stereo: our decoder (open and
// read to the end, in the blocks a refill asks for) against what `ffmpeg -i FILE -f s16le -ar
// 44100 -ac 2 -` does with the same file, run as a plain loop over FFmpeg's libraries in this
// process (its decoder, then libswresample). Both in processor time, in multiples of real time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchChild.h"
#include "BenchFFmpegPeer.h"
#include "BenchRatios.h"
#include "audio/SE_AudioDecoder.h"

namespace {

constexpr double kSeconds = 30;
constexpr uint32_t kBlockFrames = 4096;

// Kept between runs, so that timing the whole program does not time the encoder; written
// under another name first, so an interrupted run leaves no half file behind.
const std::string& Mp3File() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() / "veke-bench-30s.mp3";
    if (!std::filesystem::exists(file)) {
      const auto partial = file.string() + ".part.mp3";
      const std::string make =
          "ffmpeg -v quiet -y -f lavfi -i sine=frequency=220:duration=30 -f lavfi -i "
          "sine=frequency=331:duration=30 -f lavfi -i anoisesrc=duration=30:color=pink:"
          "amplitude=0.2:seed=7 -filter_complex amix=inputs=3 -ar 44100 -ac 2 -b:a 128k " +
          partial;
      if (std::system(make.c_str()) == 0) std::filesystem::rename(partial, file);
    }
    return file.string();
  }();
  return path;
}

void Count(benchmark::State& state, double seconds) {
  state.counters["x realtime"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSeconds / seconds);
}

void DecodeOurs(benchmark::State& state) {
  std::vector<int16_t> block(size_t{kBlockFrames} * 2);
  double seconds = 0;
  for (auto _ : state) {
    const double start = ProcessSeconds();
    std::string error;
    auto decoder = TAudioDecoder::Open(Mp3File(), error);
    if (!decoder) return state.SkipWithError(error.c_str());
    uint64_t frames = 0;
    for (uint32_t got; (got = decoder->Read(block.data(), kBlockFrames)) > 0;) frames += got;
    seconds += ProcessSeconds() - start;
    state.SetIterationTime(ProcessSeconds() - start);
    if (frames < kSeconds * 44100) return state.SkipWithError("the file decoded short");
  }
  Count(state, seconds);
}

struct TResampler {
  std::unique_ptr<SwrContext, TResamplerFreer> Context;
  std::vector<int16_t> Out;
  uint64_t Frames = 0;

  void Convert(const AVFrame* frame) {
    if (!Context) {
      SwrContext* made = nullptr;
      AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO, in = frame->ch_layout;
      swr_alloc_set_opts2(&made, &stereo, AV_SAMPLE_FMT_S16, kMixerRate, &in,
                          AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
      Context.reset(made);
      if (swr_init(made) < 0) return;
    }
    const int count = frame ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(Context.get(), count);
    if (Out.size() < size_t(room) * 2) Out.resize(size_t(room) * 2);
    auto* out = reinterpret_cast<uint8_t*>(Out.data());
    auto** in = frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr;
    Frames += std::max(swr_convert(Context.get(), &out, room, in, count), 0);
  }
};

void DecodeFfmpeg(benchmark::State& state) {
  double seconds = 0;
  for (auto _ : state) {
    const double start = ProcessSeconds();
    TResampler resampler;
    const bool decoded = DecodeLikeFfmpeg(Mp3File(), AVMEDIA_TYPE_AUDIO, [&](const AVFrame* frame) {
      if (frame || resampler.Context) resampler.Convert(frame);
    });
    seconds += ProcessSeconds() - start;
    state.SetIterationTime(ProcessSeconds() - start);
    if (!decoded || resampler.Frames < kSeconds * 44100)
      return state.SkipWithError("FFmpeg decoded the file short");
  }
  Count(state, seconds);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("mp3-decode/ours", DecodeOurs)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  benchmark::RegisterBenchmark("mp3-decode/ffmpeg-libs", DecodeFfmpeg)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  TimeRatios().push_back({"mp3-decode/ours", "mp3-decode/ffmpeg-libs"});
  return true;
}();

}  // namespace
