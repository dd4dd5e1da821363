// The whole player on the headless host: frames per second of an idle 640 x 480 presentation
// (a background and a section that waits), in memory and in surface mode, without PNG output.
// This is the ceiling every presentation's frame rate starts from.
#include <filesystem>
#include <fstream>

#include "BenchPlayer.h"

namespace {

std::string IdleScript() {
  const auto path = std::filesystem::temp_directory_path() / "veke-bench-idle.vek";
  std::ofstream(path) << "CLEAR($001F001F)\nSHOWFPS\nWAIT\n";
  return path.string();
}

void IdleFrames(benchmark::State& state, bool hardware) {
  BenchPlayer(state, IdleScript(), hardware, 2000);
}

BENCHMARK_CAPTURE(IdleFrames, memory_mode, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(IdleFrames, surface_mode, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
