// Feeds arbitrary bytes to the video clip decoder as a file in memory: whatever FFmpeg makes of
// them, frames stay within the picture they were given, sound reads stay within what was
// asked, the clip ends, and after Rewind its first frame is the one it started with.
extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "video/SE_VideoDecoder.h"

namespace {

// Probing weighs the name's extension beside the content.
const char* const kNames[] = {"f.avi", "f.mpg", "f.mp4", "f.webm", "f.mov", "f.mkv"};
// Pictures larger than this are allowed to the decoder but not worth a fuzzer's time.
constexpr int64_t kMostPixels = 1 << 20;
constexpr int64_t kStep = 400'000;  // 100 ns units: 25 frames a second
constexpr int kMostSteps = 200;
constexpr uint32_t kBlock = 1024;
constexpr int32_t kSpare = 16;  // bytes past each row that must stay as they were

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Quiet and bounded as in the audio fuzzer: a damaged header's claims fail as ENOMEM.
  av_log_set_level(AV_LOG_QUIET);
  av_max_alloc(64 << 20);
  const std::string name = kNames[size ? data[size - 1] % std::size(kNames) : 0];
  std::string error;
  auto decoder = TVideoDecoder::OpenMemory(std::vector<uint8_t>(data, data + size), name,
                                           /*withAudio=*/true, error);
  if (!decoder) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  const int32_t width = decoder->Width(), height = decoder->Height();
  if (width <= 0 || height <= 0) __builtin_trap();
  if (int64_t{width} * height > kMostPixels) return 0;
  const int32_t pitch = width * 2 + kSpare;
  std::vector<uint8_t> picture(size_t(pitch) * height, 0x5A), first;
  std::vector<int16_t> sound(2 * kBlock);
  TVideoFrameResult result = TVideoFrameResult::New;
  for (int step = 0; step < kMostSteps && result != TVideoFrameResult::End; ++step) {
    result = decoder->FrameAt(step * kStep, picture.data(), pitch, step % 2 == 1);
    if (step == 0 && result == TVideoFrameResult::New) first = picture;
    if (decoder->ReadAudio(sound.data(), kBlock) > kBlock) __builtin_trap();
  }
  // The rest in one step: the clip must end.
  if (result != TVideoFrameResult::End &&
      decoder->FrameAt(INT64_MAX, picture.data(), pitch, false) != TVideoFrameResult::End)
    __builtin_trap();
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = width * 2; x < pitch; ++x)
      if (picture[size_t(y) * pitch + x] != 0x5A) __builtin_trap();  // written past a row
  if (!decoder->Rewind() || first.empty()) return 0;
  if (decoder->FrameAt(0, picture.data(), pitch, false) != TVideoFrameResult::New ||
      std::memcmp(picture.data(), first.data(), picture.size()) != 0)
    __builtin_trap();  // a loop would not start as the clip did
  return 0;
}
