// A 640 x 480 clip of 25 frames a second played through the whole player (decode, conversion
// to the display's pixels, drawing into the frame) with a moving image beside it, in both
// display modes: the engine's frame rate must stay far above the clip's own 25.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchPlayer.h"

namespace {

namespace fs = std::filesystem;

std::string ClipScript(const std::string& codec) {
  const fs::path folder = fs::temp_directory_path() / "veke-bench-clip";
  fs::create_directories(folder);
  const fs::path clip = folder / (codec + ".avi");
  if (!fs::exists(clip)) {
    const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25 -t 4 "
                                "-c:v " + codec + " -q:v 3 " + clip.string();
    if (std::system(command.c_str()) != 0) return "";
  }
  const fs::path script = folder / (codec + ".vek");
  std::ofstream(script) << "CREATEANIM(v, " << clip.string() << ", 0, 0, 0, 0, FALSE, TRUE)\n"
                        << "PLAYANIM(v)\nWAIT\n";
  return script.string();
}

void ClipFrames(benchmark::State& state, const std::string& codec, bool hardware) {
  const std::string script = ClipScript(codec);
  if (script.empty()) {
    state.SkipWithError("ffmpeg could not make the clip");
    for (auto _ : state) {
    }
    return;
  }
  BenchPlayer(state, script, hardware, 200);  // 4 s of play: every frame of the clip
}

BENCHMARK_CAPTURE(ClipFrames, mpeg4_memory, std::string("mpeg4"), false)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ClipFrames, mpeg4_surface, std::string("mpeg4"), true)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ClipFrames, cinepak_memory, std::string("cinepak"), false)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
