#include "BenchPlayer.h"

#include <memory>
#include <vector>

#include "platform/PL_Host.h"
#include "player/VEKEntry.h"

void BenchPlayer(benchmark::State& state, const std::string& script, bool hardware,
                 uint32_t frames) {
  constexpr uint32_t kStepMs = 20;
  uint64_t played = 0;
  for (auto _ : state) {
    auto host = std::make_unique<THeadlessHost>();
    host->StepMs = kStepMs;
    host->PlayMs = frames * kStepMs;
    host->Quiet = true;
    THeadlessHost& headless = *host;
    InstallHost(std::move(host));
    std::vector<std::string> arguments{script};
    if (hardware) arguments.push_back("HARDWARE");
    if (PlayerMain(arguments, "veke-bench") != 0) state.SkipWithError("the player failed");
    played += headless.FramesPresented;
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(played), benchmark::Counter::kIsRate);
}
