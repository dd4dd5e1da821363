#include "BenchPlayer.h"

#include <fstream>
#include <memory>
#include <vector>

#include "platform/PL_Host.h"
#include "player/VEKEntry.h"

uint64_t PlayFrames(const std::string& script, bool hardware, uint32_t frames) {
  auto host = std::make_unique<THeadlessHost>();
  host->StepMs = kBenchStepMs;
  host->PlayMs = frames * kBenchStepMs;
  host->Quiet = true;
  THeadlessHost& headless = *host;
  InstallHost(std::move(host));
  std::vector<std::string> arguments{script};
  if (hardware) arguments.push_back("HARDWARE");
  if (PlayerMain(arguments, "veke-bench") != 0) return 0;
  return static_cast<uint64_t>(headless.FramesPresented);
}

uint64_t BenchPlayer(benchmark::State& state, const std::string& script, bool hardware,
                     uint32_t frames) {
  uint64_t played = 0;
  for (auto _ : state) {
    const uint64_t shown = PlayFrames(script, hardware, frames);
    if (shown == 0) state.SkipWithError("the player failed");
    played += shown;
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(played), benchmark::Counter::kIsRate);
  return played;
}

void WriteDiscSpr(const std::filesystem::path& path, int side, uint16_t colour) {
  std::vector<uint16_t> pixels(static_cast<size_t>(side) * side, 0);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int dx = 2 * x - side + 1, dy = 2 * y - side + 1;
      if (dx * dx + dy * dy < side * side) pixels[static_cast<size_t>(y) * side + x] = colour;
    }
  std::ofstream file(path, std::ios::binary);
  const uint16_t size[2] = {static_cast<uint16_t>(side), static_cast<uint16_t>(side)};
  file.write(reinterpret_cast<const char*>(size), sizeof size);
  file.write(reinterpret_cast<const char*>(pixels.data()),
             static_cast<std::streamsize>(pixels.size() * 2));
}
