// Decoding a 30-second 128 kbit/s stereo MP3 to 44 100 Hz 16-bit stereo: our decoder (open and
// read to the end, in the blocks a refill asks for) against the `ffmpeg` command doing the
// same to /dev/null, in processor time, in multiples of real time. ffmpeg's time includes
// starting a process, so its start-up (the same command stopping at once) is measured too and
// the closing lines give the ratio with and without it.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchChild.h"
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

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}


// Processor seconds per run of each case, for the closing lines.
std::map<std::string, double>& Costs() {
  static std::map<std::string, double> costs;
  return costs;
}

void Report(benchmark::State& state, const std::string& name, double seconds) {
  const double runs = static_cast<double>(state.iterations());
  state.counters["x realtime"] = benchmark::Counter(runs * kSeconds / seconds);
  state.counters["cpu ms"] = benchmark::Counter(seconds / runs * 1000);
  Costs()[name] = seconds / runs;
}

void DecodeOurs(benchmark::State& state) {
  std::vector<int16_t> block(size_t{kBlockFrames} * 2);
  double seconds = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    std::string error;
    auto decoder = TAudioDecoder::Open(Mp3File(), error);
    if (!decoder) return state.SkipWithError(error.c_str());
    uint64_t frames = 0;
    for (uint32_t got; (got = decoder->Read(block.data(), kBlockFrames)) > 0;) frames += got;
    seconds += ThreadSeconds() - start;
    if (frames < kSeconds * 44100) return state.SkipWithError("the file decoded short");
  }
  Report(state, "ours", seconds);
}

void DecodeFfmpeg(benchmark::State& state, bool startUpOnly) {
  std::vector<std::string> command = {"ffmpeg", "-v", "quiet", "-i", Mp3File()};
  if (startUpOnly) command.insert(command.end(), {"-t", "0"});
  command.insert(command.end(), {"-f", "s16le", "-ar", "44100", "-ac", "2", "-"});
  double seconds = 0;
  for (auto _ : state) {
    TChildCost child;
    const double cost = RunChild(command, child) ? child.Processor : -1;
    if (cost < 0) return state.SkipWithError("the ffmpeg command did not run");
    seconds += cost;
  }
  Report(state, startUpOnly ? "ffmpeg start-up" : "ffmpeg", seconds);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("mp3-decode/ours", DecodeOurs)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("mp3-decode/ffmpeg", DecodeFfmpeg, false)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("mp3-decode/ffmpeg-start-up", DecodeFfmpeg, true)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  // Made before the handler is registered, so that they are still there when it runs.
  Costs();
  std::atexit([] {
    const std::map<std::string, double>& costs = Costs();
    if (!costs.contains("ours") || !costs.contains("ffmpeg")) return;  // filtered out
    std::printf("\nMP3 decoding, processor time ours/ffmpeg: %.2fx",
                costs.at("ours") / costs.at("ffmpeg"));
    if (costs.contains("ffmpeg start-up") && costs.at("ffmpeg") > costs.at("ffmpeg start-up"))
      std::printf(", without ffmpeg's start-up: %.2fx",
                  costs.at("ours") / (costs.at("ffmpeg") - costs.at("ffmpeg start-up")));
    std::printf("\n");
  });
  return true;
}();

}  // namespace
