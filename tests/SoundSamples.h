#pragma once
// Wave files and sounds built by hand for the sound tests, and a way to play the headless
// host's clock on without an engine.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/PL_Host.h"

namespace soundsamples {

inline std::string Le(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 255);
  return out;
}

// A PCM format block of 16 bytes.
inline std::string Format(uint32_t channels, uint32_t rate, uint32_t bits) {
  const uint32_t block = channels * bits / 8;
  return Le(1, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * block, 4) + Le(block, 2) +
         Le(bits, 2);
}

// How a file is laid out beyond its format and samples.
struct TWaveLayout {
  uint32_t FormatBytes = 0;     // the format chunk's size; 0: the block's own
  std::string ChunkBetween;     // the id of a chunk between format and data ("" for none)
  uint32_t BetweenBytes = 0;
  int64_t ClaimedData = -1;     // the data chunk's stated size; -1: the true one
};

inline std::string WaveFile(const std::string& format, const std::string& samples,
                            const TWaveLayout& layout = {}) {
  std::string block = format;
  if (layout.FormatBytes > block.size()) block.resize(layout.FormatBytes, '\0');
  std::string body = "WAVE";
  body += "fmt " + Le(static_cast<uint32_t>(block.size()), 4) + block;
  if (!layout.ChunkBetween.empty())
    body += layout.ChunkBetween + Le(layout.BetweenBytes, 4) + std::string(layout.BetweenBytes, 'x');
  const uint32_t claimed = layout.ClaimedData < 0 ? static_cast<uint32_t>(samples.size())
                                                  : static_cast<uint32_t>(layout.ClaimedData);
  body += "data" + Le(claimed, 4) + samples;
  return "RIFF" + Le(static_cast<uint32_t>(body.size()), 4) + body;
}

inline std::string Ramp(size_t bytes) {
  std::string out(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<char>(i & 255);
  return out;
}

// Bytes that repeat nowhere within a sound, so a shifted or repeated part shows.
inline std::string Noise(size_t bytes, uint32_t seed = 12345) {
  std::string out(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) {
    seed = seed * 1103515245u + 12345u;
    out[i] = static_cast<char>(seed >> 16);
  }
  return out;
}

// A square wave of `hz` at full scale (±20000 or ±100 around 128), `seconds` long.
inline std::string Square(uint32_t channels, uint32_t rate, uint32_t bits, double seconds,
                          uint32_t hz) {
  const auto frames = static_cast<uint32_t>(rate * seconds);
  std::string out;
  for (uint32_t i = 0; i < frames; ++i) {
    const bool high = (static_cast<uint64_t>(i) * hz * 2 / rate) % 2 == 0;
    for (uint32_t c = 0; c < channels; ++c)
      out += bits == 8 ? std::string(1, static_cast<char>(high ? 228 : 28))
                       : Le(static_cast<uint16_t>(high ? 20000 : -20000), 2);
  }
  return out;
}

// Sign changes of one side of a stereo mix within its first `frames` frames; samples within
// `noise` of 0 keep the sign before them, so quantisation noise at a crossing counts once.
inline int SignChanges(const std::vector<int16_t>& mix, int side, size_t frames, int noise = 0) {
  int changes = 0;
  int previous = 0;
  for (size_t i = 0; i < frames && 2 * i + side < mix.size(); ++i) {
    const int value = mix[2 * i + side];
    const int sign = (value > noise) - (value < -noise);
    if (sign != 0 && previous != 0 && sign != previous) ++changes;
    if (sign != 0) previous = sign;
  }
  return changes;
}

// Plays the headless clock on by `ms` as the engine loop would (tasks, then a frame's time)
// and returns what was mixed meanwhile.
inline std::vector<int16_t> RunHost(THeadlessHost& host, uint32_t ms) {
  std::vector<int16_t> mix;
  host.OnAudio = [&mix](const int16_t* samples, uint32_t frames) {
    mix.insert(mix.end(), samples, samples + frames * 2);
  };
  for (uint32_t played = 0; played < ms; played += host.StepMs) {
    host.RunTasks();
    host.FrameSkipped();
  }
  host.OnAudio = nullptr;
  return mix;
}

}  // namespace soundsamples
