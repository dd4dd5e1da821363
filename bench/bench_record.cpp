// Recording 10 s of the demo at 640 x 480 (`veke-render demo.vek --video`, which also plays the
// presentation and encodes its sound) against the ffmpeg command encoding the same frames from
// PNG files with the same codec and settings. Both run as child processes, three times each;
// the closing line gives the ratio of the median wall-clock and processor times (the goal is
// at most 1.5 times ffmpeg's).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchChild.h"

namespace {

const std::string kRender = VEKE_BINARY_DIR "/veke-render";
const std::string kDemo = VEKE_SOURCE_DIR "/examples/demo/demo.vek";
constexpr const char* kPlayMs = "9980";  // frames at 0, 20, ... 9980 ms: 500 of them, 10 s
constexpr int kRuns = 3;
const std::filesystem::path kFolder = std::filesystem::temp_directory_path() / "veke-bench-record";

std::map<std::string, std::vector<TChildCost>>& Runs() {
  static std::map<std::string, std::vector<TChildCost>> runs;
  return runs;
}

void Time(benchmark::State& state, const std::string& name,
          const std::vector<std::string>& command) {
  for (auto _ : state) {
    TChildCost cost;
    if (!RunChild(command, cost)) return state.SkipWithError(("cannot run " + command[0]).c_str());
    Runs()[name].push_back(cost);
    state.SetIterationTime(cost.Wall);
  }
}

void RecordOurs(benchmark::State& state) {
  std::filesystem::create_directories(kFolder);
  Time(state, "ours",
       {kRender, kDemo, "--ms", kPlayMs, "--video", (kFolder / "ours.mp4").string()});
}

void EncodeFfmpeg(benchmark::State& state) {
  const auto frames = kFolder / "frames";
  // The frames themselves are made once, untimed, by the same player.
  if (!std::filesystem::exists(frames / "00500.png")) {
    TChildCost unused;
    if (!RunChild({kRender, kDemo, "--ms", kPlayMs, "--frames", frames.string()}, unused))
      return state.SkipWithError("cannot make the frames");
  }
  // As the recorder sets up libx264: fast preset, near-transparent quality, 4:2:0.
  Time(state, "ffmpeg",
       {"ffmpeg", "-v", "quiet", "-y", "-framerate", "50", "-i", (frames / "%05d.png").string(),
        "-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p",
        (kFolder / "ffmpeg.mp4").string()});
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void PrintRatio() {
  const auto ours = Runs().find("ours"), them = Runs().find("ffmpeg");
  if (ours == Runs().end() || them == Runs().end()) return;
  const auto median = [](const std::vector<TChildCost>& runs, double TChildCost::*field) {
    std::vector<double> values;
    for (const TChildCost& run : runs) values.push_back(run.*field);
    return Median(values);
  };
  const double oursWall = median(ours->second, &TChildCost::Wall);
  const double themWall = median(them->second, &TChildCost::Wall);
  const double oursCpu = median(ours->second, &TChildCost::Processor);
  const double themCpu = median(them->second, &TChildCost::Processor);
  std::printf(
      "\nrecord 10 s at 640x480: veke-render --video %.2f s wall, %.2f s cpu; ffmpeg from "
      "PNG %.2f s wall, %.2f s cpu; ratio %.2fx wall, %.2fx cpu (goal: at most 1.5x)\n",
      oursWall, oursCpu, themWall, themCpu, oursWall / themWall, oursCpu / themCpu);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("record-640x480-10s/veke-render", RecordOurs)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(kRuns);
  benchmark::RegisterBenchmark("record-640x480-10s/ffmpeg-from-png", EncodeFfmpeg)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(kRuns);
  Runs();
  std::atexit(PrintRatio);
  return true;
}();

}  // namespace
