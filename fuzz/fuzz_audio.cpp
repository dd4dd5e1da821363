// Feeds arbitrary bytes to the compressed-audio decoder as a file in memory: whatever FFmpeg
// makes of them, reads stay within what was asked, the stream ends, and after Seek(0) it
// starts with the same samples as it did when opened.
extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/SE_AudioDecoder.h"

namespace {

// Probing weighs the name's extension beside the content.
const char* const kNames[] = {"f.mp3", "f.ogg", "f.m4a", "f.flac", "f.wav", "f.aac"};
constexpr uint32_t kBlock = 4096;
// A few bytes can describe hours of sound; this much shows the reading works.
constexpr uint64_t kMostFrames = uint64_t{1} << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // FFmpeg's complaints about damaged input would fill the log and slow every run. Its
  // demuxers allocate what a header claims (a WAV's INFO chunk of 1.5 GB from 200 bytes);
  // a bound turns that into the ENOMEM failure it would be on a small machine. Set before
  // every input: the decoder's own first-use settings are milder.
  av_log_set_level(AV_LOG_QUIET);
  av_max_alloc(64 << 20);
  const std::string name = kNames[size ? data[size - 1] % std::size(kNames) : 0];
  std::string error;
  auto decoder = TAudioDecoder::OpenMemory(std::vector<uint8_t>(data, data + size), name, error);
  if (!decoder) {
    if (error.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  std::vector<int16_t> first(2 * kBlock), block(2 * kBlock);
  const uint32_t firstFrames = decoder->Read(first.data(), kBlock);
  if (firstFrames > kBlock) __builtin_trap();
  uint64_t total = firstFrames;
  for (uint32_t got = firstFrames; got > 0 && total < kMostFrames; total += got)
    if ((got = decoder->Read(block.data(), kBlock)) > kBlock) __builtin_trap();
  decoder->Seek(total / 2);
  decoder->Read(block.data(), kBlock);
  if (decoder->Seek(0) &&
      (decoder->Read(block.data(), kBlock) != firstFrames ||
       std::memcmp(block.data(), first.data(), size_t{firstFrames} * 2 * sizeof(int16_t)) != 0))
    __builtin_trap();  // a loop would not start as the sound did
  return 0;
}
