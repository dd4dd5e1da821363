#pragma once
// What a host pulls its sound from. The hosts know only this much of sound, so the mixer and
// everything that feeds it stay out of the platform layer.
#include <cstdint>

// The sound a host plays: signed 16-bit, interleaved left and right.
constexpr uint32_t kMixRate = 44100;
constexpr uint32_t kMixChannels = 2;

class TAudioSource {
 public:
  virtual ~TAudioSource() = default;
  // Writes `frames` stereo frames to `out`; called from the host's audio thread or frame loop.
  virtual void Mix(int16_t* out, uint32_t frames) = 0;
};
