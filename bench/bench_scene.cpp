// A busy 640 x 480 presentation through the whole player: 20 moving images (half of them
// half transparent), 5 texts and 10 buttons, redrawn every frame. Memory mode composes it
// with our blitters, surface mode with SDL's; the ratio is printed by the benchmark names'
// frames/s counters side by side.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchPlayer.h"

namespace {

namespace fs = std::filesystem;

std::string SceneScript() {
  const fs::path folder = fs::temp_directory_path() / "veke-bench-scene";
  fs::create_directories(folder);
  WriteDiscSpr(folder / "disc.spr", 64, 0xFBE0);
  WriteDiscSpr(folder / "button.spr", 64, 0x07FF);
  std::mt19937 rng(7);
  // The font file of this build, named so that the path resolver finds it from anywhere.
  std::string script = "CREATEENGINE(640,480,BENCH," VEKE_BINARY_DIR "/Res/Fonts16bit.ger)\n"
                       "CLEAR($18E318E3)\n";
  // Every image moves all the time, so every frame erases and redraws the whole scene.
  for (int i = 0; i < 20; ++i) {
    const std::string name = "I" + std::to_string(i);
    script += "CREATEIMAGE(" + name + ",,disc.spr," + std::to_string(rng() % 576) + "," +
              std::to_string(rng() % 416) + ",TRUE,TRUE)\n";
    if (i % 2) script += "SHOWIMAGE(" + name + ",TRUE,128)\n";
    script += "MOVEIMAGE(" + name + "," + std::to_string(rng() % 576) + "," +
              std::to_string(rng() % 416) + ",100000)\n";
  }
  for (int i = 0; i < 5; ++i)
    script += "CREATETEXT(T" + std::to_string(i) + ",\"Frame rate of a busy scene " +
              std::to_string(i) + "\",20," + std::to_string(20 + 40 * i) + ",600,40,ARIAL18)\n";
  for (int i = 0; i < 10; ++i)
    script += "CREATEBUTTON(B" + std::to_string(i) + ",,button.spr,,," + std::to_string(i * 64) +
              ",416,255,VISIBLE,ENABLED,MAIN)\n";
  script += "WAIT\n";
  const fs::path path = folder / "scene.vek";
  std::ofstream(path) << script;
  return path.string();
}

void SceneFrames(benchmark::State& state, bool hardware) {
  BenchPlayer(state, SceneScript(), hardware, 500);
}

BENCHMARK_CAPTURE(SceneFrames, memory_mode, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(SceneFrames, surface_mode, true)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
