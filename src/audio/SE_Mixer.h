#pragma once
// The sound device the player plays through: ring buffers ("channels"), each in its own wave
// format, with a play cursor, looping, volume, pan and frequency, summed by a software mixer
// into 44 100 Hz signed 16-bit stereo. The hosts pull the mix: SDL's audio callback on its own
// thread, or the headless frame loop on the virtual clock.
//
// Owners hold channels by handle (index and generation): a handle of a destroyed channel
// reaches nothing, so stopping or freeing a sound that is already gone is harmless. One lock
// guards the table; it is held for table updates and short copies only, so the audio
// callback never waits long for the engine's thread.
#include <cstdint>
#include <memory>

#include "platform/PL_AudioSource.h"

// A PCM wave format as RIFF files and the sound buffers describe it.
struct TWaveFormat {
  uint16_t FormatTag = 1;  // 1: PCM
  uint16_t Channels = 2;
  uint32_t SamplesPerSec = 44100;
  uint32_t AvgBytesPerSec = 176400;
  uint16_t BlockAlign = 4;
  uint16_t BitsPerSample = 16;
};


// Limits of the device: channels alive at once, the largest ring, the rates a channel plays
// at, and the ends of the volume and pan scales (hundredths of a decibel).
constexpr uint32_t kMaxAudioChannels = 64;
constexpr uint32_t kMaxChannelBytes = 1u << 30;
constexpr uint32_t kMinFrequency = 100;
constexpr uint32_t kMaxFrequency = 200000;
constexpr int32_t kSilentVolume = -10000;
constexpr int32_t kFullPan = 10000;

struct TAudioChannel {
  uint32_t Index = 0;
  uint32_t Generation = 0;  // 0: no channel
  explicit operator bool() const { return Generation != 0; }
};

class TAudioMixer final : public TAudioSource {
 public:
  TAudioMixer();
  ~TAudioMixer();
  TAudioMixer(const TAudioMixer&) = delete;
  TAudioMixer& operator=(const TAudioMixer&) = delete;

  // True when the mixer plays this format: PCM, 8 (unsigned) or 16 (signed) bits, one or
  // two channels, a block align that matches, a rate from 100 to 200 000 Hz.
  static bool Playable(const TWaveFormat& format);
  // True when a ring of `bytes` in this format can be made: playable, at least one block and
  // at most kMaxChannelBytes.
  static bool Accepts(const TWaveFormat& format, uint32_t bytes);

  // A stopped ring of `bytes` (rounded down to whole blocks, at least one block) filled with
  // silence; an empty handle when Accepts refuses them or kMaxAudioChannels channels are alive.
  TAudioChannel CreateChannel(const TWaveFormat& format, uint32_t bytes);
  void DestroyChannel(TAudioChannel channel);

  // Copies `bytes` into the ring from byte `offset`, wrapping at its end. False for a
  // stale handle, an offset outside the ring or a range longer than the ring.
  bool Write(TAudioChannel channel, uint32_t offset, const uint8_t* data, uint32_t bytes);

  // A looping channel plays round its ring until stopped; another stops at the ring's end,
  // with its cursor back at 0. Play on a playing channel only changes its looping.
  bool Play(TAudioChannel channel, bool looping);
  bool Stop(TAudioChannel channel);
  bool IsPlaying(TAudioChannel channel) const;
  // The play cursor as a byte offset in the ring (whole blocks).
  bool GetPlayPosition(TAudioChannel channel, uint32_t& position) const;
  // Rounded down to a whole block; false when `position` is not inside the ring.
  bool SetPlayPosition(TAudioChannel channel, uint32_t position);
  // Bytes of the channel's data the cursor has passed since its creation, across wraps: the
  // exact count of what was heard.
  bool GetPlayedBytes(TAudioChannel channel, uint64_t& bytes) const;

  // Hundredths of a decibel, -10000 (silent) .. 0 (as recorded); out-of-range values clamp.
  bool SetVolume(TAudioChannel channel, int32_t volume);
  bool GetVolume(TAudioChannel channel, int32_t& volume) const;
  // -10000 (left only) .. 0 (centre) .. 10000 (right only), in hundredths of a decibel of
  // the other side's attenuation.
  bool SetPan(TAudioChannel channel, int32_t pan);
  bool GetPan(TAudioChannel channel, int32_t& pan) const;
  // Samples per second the ring is played at; 0 restores the format's own rate. False, and
  // the rate unchanged, outside kMinFrequency .. kMaxFrequency.
  bool SetFrequency(TAudioChannel channel, uint32_t frequency);
  bool GetFrequency(TAudioChannel channel, uint32_t& frequency) const;

  // Writes `frames` stereo frames of the sum of every playing channel, clamped once, and
  // moves their cursors on. Never allocates; holds the lock while it mixes.
  void Mix(int16_t* out, uint32_t frames) override;

 private:
  struct TState;
  std::unique_ptr<TState> State;
};
