// The whole player on the headless host: frames per second of an idle 640 x 480 presentation
// (a background and a section that waits), in memory and in surface mode, without PNG output.
// This is the ceiling every presentation's frame rate starts from.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/PL_Host.h"
#include "player/VEKEntry.h"

namespace {

constexpr uint32_t kFrames = 2000;
constexpr uint32_t kStepMs = 20;

std::string IdleScript() {
  const auto path = std::filesystem::temp_directory_path() / "veke-bench-idle.vek";
  std::ofstream(path) << "CLEAR($001F001F)\nSHOWFPS\nWAIT\n";
  return path.string();
}

void IdleFrames(benchmark::State& state, bool hardware) {
  const std::string script = IdleScript();
  uint64_t frames = 0;
  for (auto _ : state) {
    auto host = std::make_unique<THeadlessHost>();
    host->StepMs = kStepMs;
    host->PlayMs = kFrames * kStepMs;
    host->Quiet = true;
    THeadlessHost& headless = *host;
    InstallHost(std::move(host));
    std::vector<std::string> arguments{script};
    if (hardware) arguments.push_back("HARDWARE");
    if (PlayerMain(arguments, "veke-bench") != 0) state.SkipWithError("the player failed");
    frames += headless.FramesPresented;
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(IdleFrames, memory_mode, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(IdleFrames, surface_mode, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
