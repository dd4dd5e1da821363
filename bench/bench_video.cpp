// Playing 640 x 480 clips of 25 frames a second, four seconds each, one per codec: our decoder
// (open, then every frame at its time, decoded and converted to 5-6-5) against what the command
// `ffmpeg -i CLIP -pix_fmt rgb565le -f null -` does with the same file, run as a plain loop
// over FFmpeg's libraries in this process (its decoder, then libswscale's bicubic conversion
// to 5-6-5). Both in processor time of all threads per clip; the closing table gives the
// ratio of the medians.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchChild.h"
#include "BenchFFmpegPeer.h"
#include "BenchRatios.h"
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

void Count(benchmark::State& state, int64_t frames, double processor) {
  state.counters["fps"] = benchmark::Counter(double(frames) / processor);
}

void PlayOurs(benchmark::State& state, const TCodec& codec) {
  const std::string clip = Clip(codec);
  if (clip.empty()) return state.SkipWithError("the clip could not be made");
  std::vector<uint8_t> picture(size_t{kWidth} * kHeight * 2);
  int64_t frames = 0;
  double total = 0;
  for (auto _ : state) {
    const double start = ProcessSeconds();
    std::string error;
    auto decoder = TVideoDecoder::Open(clip, false, error);
    if (!decoder) return state.SkipWithError(error.c_str());
    TVideoFrameResult result{};
    for (int64_t k = 0; (result = decoder->FrameAt(k * kFrameTime, picture.data(), kWidth * 2,
                                                   false)) != TVideoFrameResult::End;
         ++k)
      frames += result == TVideoFrameResult::New;
    benchmark::DoNotOptimize(picture.data());
    total += ProcessSeconds() - start;
    state.SetIterationTime(ProcessSeconds() - start);
  }
  Count(state, frames, total);
}

struct TScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

void PlayFfmpeg(benchmark::State& state, const TCodec& codec) {
  const std::string clip = Clip(codec);
  if (clip.empty()) return state.SkipWithError("the clip could not be made");
  std::vector<uint8_t> picture(size_t{kWidth} * kHeight * 2);
  int64_t frames = 0;
  double total = 0;
  for (auto _ : state) {
    const double start = ProcessSeconds();
    std::unique_ptr<SwsContext, TScalerFreer> scaler;
    const bool decoded = DecodeLikeFfmpeg(clip, AVMEDIA_TYPE_VIDEO, [&](const AVFrame* frame) {
      if (!frame) return;
      if (!scaler)
        scaler.reset(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                    kWidth, kHeight, AV_PIX_FMT_RGB565, SWS_BICUBIC, nullptr,
                                    nullptr, nullptr));
      uint8_t* planes[4] = {picture.data()};
      const int pitches[4] = {kWidth * 2};
      sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, pitches);
      ++frames;
    });
    if (!decoded || !scaler) return state.SkipWithError("FFmpeg did not decode the clip");
    benchmark::DoNotOptimize(picture.data());
    total += ProcessSeconds() - start;
    state.SetIterationTime(ProcessSeconds() - start);
  }
  Count(state, frames, total);
}

const bool kRegistered = [] {
  for (const TCodec& codec : kCodecs) {
    const std::string name = "video-640x480/" + codec.Name;
    benchmark::RegisterBenchmark((name + "/ours").c_str(), PlayOurs, codec)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark((name + "/ffmpeg-libs").c_str(), PlayFfmpeg, codec)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    TimeRatios().push_back({name + "/ours", name + "/ffmpeg-libs"});
  }
  return true;
}();

}  // namespace
