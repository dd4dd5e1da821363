// Playing 640 x 480 clips of 25 frames a second, four seconds each, one per codec: our decoder
// (open, then every frame at its time, decoded and converted to 5-6-5) against the command
// `ffmpeg -i CLIP -pix_fmt rgb565le -f null -` on the same file, in frames per second of
// processor time (all threads, the measure benchmark reports) and of wall-clock time. ffmpeg's
// figures include starting a process, so its start-up (the same command stopping at once) is
// measured too; the closing table gives the ratios with and without it.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BenchChild.h"
#include "video/SE_VideoDecoder.h"


namespace {

constexpr int32_t kWidth = 640, kHeight = 480;
constexpr int kRate = 25, kSeconds = 4;
constexpr int64_t kFrameTime = 10'000'000 / kRate;

struct TCodec {
  std::string Name;
  std::string File;
  std::string Options;
};

// Qualities as clips of the era were made: the encoders' defaults, or a fixed quantiser
// where the default would be a postage stamp's bit rate.
const std::vector<TCodec> kCodecs = {
    {"cinepak", "cinepak.avi", "-c:v cinepak"},
    {"msvideo1", "msvideo1.avi", "-c:v msvideo1"},
    {"mjpeg", "mjpeg.avi", "-c:v mjpeg -q:v 3"},
    {"mpeg1", "mpeg1.mpg", "-c:v mpeg1video -q:v 4"},
    {"mpeg4", "mpeg4.avi", "-c:v mpeg4 -q:v 4"},
    {"h264", "h264.mp4", "-c:v libx264 -pix_fmt yuv420p"},
};

// Kept between runs, since Cinepak takes a minute to encode; written under another name first,
// so an interrupted run leaves no half file behind. Empty when it cannot be made (the ffmpeg
// command has no such encoder).
std::string Clip(const TCodec& codec) {
  const auto file = std::filesystem::temp_directory_path() / ("veke-bench-640x480-" + codec.File);
  if (!std::filesystem::exists(file)) {
    const std::string partial = file.string() + ".part" + file.extension().string();
    const std::string make =
        "ffmpeg -v quiet -y -f lavfi -i testsrc2=size=640x480:rate=" + std::to_string(kRate) +
        ":duration=" + std::to_string(kSeconds) + " -an " + codec.Options + " '" + partial + "'";
    if (std::system(make.c_str()) != 0) return {};
    std::filesystem::rename(partial, file);
  }
  return file.string();
}

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct TCost {
  double Processor = 0, Wall = 0;
  int Frames = 0;
};

// Per run of each case, for the closing table.
std::map<std::string, TCost>& Costs() {
  static std::map<std::string, TCost> costs;
  return costs;
}

void Report(benchmark::State& state, const std::string& name, TCost total) {
  const double runs = static_cast<double>(state.iterations());
  state.counters["fps"] = benchmark::Counter(total.Frames / total.Processor);
  state.counters["wall fps"] = benchmark::Counter(total.Frames / total.Wall);
  Costs()[name] = {total.Processor / runs, total.Wall / runs, int(total.Frames / runs)};
}

void PlayOurs(benchmark::State& state, const TCodec& codec) {
  const std::string clip = Clip(codec);
  if (clip.empty()) return state.SkipWithError("the clip could not be made");
  std::vector<uint8_t> picture(size_t{kWidth} * kHeight * 2);
  TCost total;
  for (auto _ : state) {
    const double processor = ProcessSeconds(), wall = WallSeconds();
    std::string error;
    auto decoder = TVideoDecoder::Open(clip, false, error);
    if (!decoder) return state.SkipWithError(error.c_str());
    TVideoFrameResult result{};
    for (int64_t k = 0; (result = decoder->FrameAt(k * kFrameTime, picture.data(), kWidth * 2,
                                                   false)) != TVideoFrameResult::End;
         ++k)
      total.Frames += result == TVideoFrameResult::New;
    benchmark::DoNotOptimize(picture.data());
    total.Processor += ProcessSeconds() - processor;
    total.Wall += WallSeconds() - wall;
    state.SetIterationTime(ProcessSeconds() - processor);
  }
  Report(state, codec.Name + " ours", total);
}

void PlayFfmpeg(benchmark::State& state, const TCodec& codec, bool startUpOnly) {
  const std::string clip = Clip(codec);
  if (clip.empty()) return state.SkipWithError("the clip could not be made");
  std::vector<std::string> command = {"ffmpeg", "-v", "quiet", "-i", clip};
  if (startUpOnly) command.insert(command.end(), {"-t", "0"});
  command.insert(command.end(), {"-pix_fmt", "rgb565le", "-f", "null", "-"});
  TCost total;
  for (auto _ : state) {
    const double before = total.Processor;
    TChildCost child;
    if (!RunChild(command, child)) return state.SkipWithError("the ffmpeg command did not run");
    total.Processor += child.Processor;
    total.Wall += child.Wall;
    total.Frames += startUpOnly ? 0 : kRate * kSeconds;
    state.SetIterationTime(total.Processor - before);
  }
  Report(state, codec.Name + (startUpOnly ? " ffmpeg start-up" : " ffmpeg"), total);
}

void PrintTable() {
  const std::map<std::string, TCost>& costs = Costs();
  bool header = false;
  for (const TCodec& codec : kCodecs) {
    const auto ours = costs.find(codec.Name + " ours"), them = costs.find(codec.Name + " ffmpeg");
    if (ours == costs.end() || them == costs.end()) continue;
    if (!header)
      std::printf("\n%-9s %9s %9s %11s %11s %12s %10s %16s\n", "video", "ours fps", "ffmpeg fps",
                  "ours wall", "ffmpeg wall", "cpu ours/ff", "wall ours/ff", "cpu w/o start-up");
    header = true;
    const TCost& o = ours->second;
    const TCost& t = them->second;
    std::printf("%-9s %9.0f %9.0f %11.0f %11.0f %11.2fx %11.2fx", codec.Name.c_str(),
                o.Frames / o.Processor, t.Frames / t.Processor, o.Frames / o.Wall,
                t.Frames / t.Wall, o.Processor / t.Processor, o.Wall / t.Wall);
    const auto start = costs.find(codec.Name + " ffmpeg start-up");
    if (start != costs.end() && t.Processor > start->second.Processor)
      std::printf(" %15.2fx", o.Processor / (t.Processor - start->second.Processor));
    std::printf("\n");
  }
}

const bool kRegistered = [] {
  for (const TCodec& codec : kCodecs) {
    const std::string name = "video-640x480/" + codec.Name;
    benchmark::RegisterBenchmark((name + "/ours").c_str(), PlayOurs, codec)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark((name + "/ffmpeg").c_str(), PlayFfmpeg, codec, false)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark((name + "/ffmpeg-start-up").c_str(), PlayFfmpeg, codec, true)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
  }
  // Made before the handler is registered, so that they are still there when it runs.
  Costs();
  std::atexit(PrintTable);
  return true;
}();

}  // namespace
