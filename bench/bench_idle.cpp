// The whole player on the headless host: frames per second of an idle 640 x 480 presentation
// (a background and a section that waits), in memory and in surface mode, without PNG output.
// This is the ceiling every presentation's frame rate starts from. Then how a frame's cost
// grows with the display: nothing moving, and one 96 x 96 picture moving, on displays of
// 640 x 480 to 4096 x 4096. Only what changed is copied and sent, so both should cost about
// the same on every display: the closing table prints each size's time against 640 x 480.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "BenchChild.h"
#include "BenchPlayer.h"
#include "BenchRatios.h"

namespace {

namespace fs = std::filesystem;

std::string IdleScript() {
  const auto path = fs::temp_directory_path() / "veke-bench-idle.vek";
  std::ofstream(path) << "CLEAR($001F001F)\nSHOWFPS\nWAIT\n";
  return path.string();
}

void IdleFrames(benchmark::State& state, bool hardware) {
  BenchPlayer(state, IdleScript(), hardware, 2000);
}

BENCHMARK_CAPTURE(IdleFrames, memory_mode, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(IdleFrames, surface_mode, true)->Unit(benchmark::kMillisecond)->UseRealTime();

constexpr uint32_t kFewFrames = 100, kManyFrames = 5100;

// A display of `width` x `height` with nothing moving, or with one picture gliding down its
// top left 640 x 480 for the whole run, the same way on every display.
std::string DisplayScript(int32_t width, int32_t height, bool moving) {
  const fs::path folder = fs::temp_directory_path() / "veke-bench-display";
  fs::create_directories(folder);
  WriteDiscSpr(folder / "disc96.spr", 96, 0xFBE0);
  const std::string size = std::to_string(width) + "x" + std::to_string(height);
  std::string script = "CREATEENGINE(" + std::to_string(width) + "," + std::to_string(height) +
                       ",BENCH,)\nCLEAR($18E318E3)\n";
  if (moving)
    script += "CREATEIMAGE(D,,disc96.spr,0,0,TRUE,TRUE)\nMOVEIMAGE(D,544,384," +
              std::to_string(kManyFrames * kBenchStepMs) + ")\n";
  script += "WAIT(100000000)\n";
  const fs::path path = folder / ((moving ? "moving-" : "still-") + size + ".vek");
  std::ofstream(path) << script;
  return path.string();
}

std::map<std::string, double>& Rates() {
  static std::map<std::string, double> rates;
  return rates;
}


struct TDisplayCase {
  int32_t Width, Height;
};
constexpr TDisplayCase kDisplays[] = {{640, 480}, {2048, 2048}, {4096, 4096}};

std::string CaseName(bool moving, const TDisplayCase& display, bool hardware) {
  return std::string(moving ? "moving96" : "still") + "/" + std::to_string(display.Width) + "x" +
         std::to_string(display.Height) + (hardware ? "/surface" : "/memory");
}

const bool kRegistered = [] {
  for (bool hardware : {false, true})
    for (bool moving : {false, true})
      for (const TDisplayCase& display : kDisplays) {
        const std::string name = CaseName(moving, display, hardware);
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
          const std::string script = DisplayScript(display.Width, display.Height, moving);
          // Start-up and the first, whole frame cost the same in a short and a long run; the
          // difference is the cost of the frames after them. Processor time: the machine may
          // be shared.
          for (auto _ : state) {
            const double start = ProcessSeconds();
            const uint64_t few = PlayFrames(script, hardware, kFewFrames);
            const double middle = ProcessSeconds();
            const uint64_t many = PlayFrames(script, hardware, kManyFrames);
            const double spent = (ProcessSeconds() - middle) - (middle - start);
            if (few == 0 || many <= few) {
              state.SkipWithError("the player failed");
              continue;
            }
            if (spent <= 0) {
              // Still frames on a large display can cost less than start-up varies.
              state.SkipWithError("the frames cost less than the start-up's noise");
              continue;
            }
            Rates()[name] = static_cast<double>(many - few) / spent;
            state.counters["us/frame"] = 1e6 * spent / static_cast<double>(many - few);
          }
        })->Unit(benchmark::kMillisecond)->Iterations(1);
        if (display.Width != kDisplays[0].Width)
          TimeRatios().push_back({name, CaseName(moving, kDisplays[0], hardware)});
      }
  Rates();  // made before the handler is registered, so that it is still there when it runs
  std::atexit([] {
    if (Rates().size() < 2) return;  // filtered out
    std::printf("\nframes as the display grows, per second of CPU (1.00x: as cheap as 640x480):");
    PrintTimeRatios(Rates());
  });
  return true;
}();

}  // namespace
