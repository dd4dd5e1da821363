#include "audio/SE_Mixer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// 16-bit rings keep the bytes their owners write, which are little-endian as in WAV files.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr uint32_t kChunkFrames = 512;  // mixed at a time into the accumulators
constexpr int32_t kUnityGain = 1 << 16;
constexpr uint64_t kOneFrame = uint64_t{1} << 32;  // cursors are 32.32 fixed point

// Hundredths of a decibel into a 16.16 factor; -100 dB and below is silence, as the
// original device treated it.
int32_t GainOf(int32_t hundredthsDb) {
  if (hundredthsDb <= kSilentVolume) return 0;
  return static_cast<int32_t>(std::lrint(kUnityGain * std::pow(10.0, hundredthsDb / 2000.0)));
}

uint64_t StepFor(uint32_t frequency) { return (uint64_t{frequency} << 32) / kMixRate; }

struct TSlot {
  bool InUse = false;
  uint32_t Generation = 0;
  TWaveFormat Format;
  uint32_t Frames = 0;
  // (Frames + 1) frames of signed 16-bit samples: 8-bit data is converted as it is written.
  // The extra frame is what follows the last one (the first again when looping, else
  // silence), so interpolation never looks past the ring.
  std::vector<int16_t> Samples;
  bool Playing = false;
  bool Looping = false;
  uint64_t Cursor = 0;  // source frames, 32.32
  uint64_t Step = kOneFrame;
  uint64_t PlayedFrames = 0;
  int32_t Volume = 0, Pan = 0;
  uint32_t Frequency = 0;
  int32_t GainLeft = kUnityGain, GainRight = kUnityGain;

  uint32_t RingBytes() const { return Frames * Format.BlockAlign; }

  // Pan attenuates the side away from it, volume both; worked out once per change.
  void UpdateGains() {
    GainLeft = GainOf(Volume - std::max(Pan, 0));
    GainRight = GainOf(Volume + std::min(Pan, 0));
  }

  void FillGuard() {
    const size_t channels = Format.Channels;
    for (size_t k = 0; k < channels; ++k)
      Samples[Frames * channels + k] = Looping ? Samples[k] : int16_t{0};
  }

  void Store(uint32_t offset, const uint8_t* data, uint32_t bytes) {
    if (Format.BitsPerSample == 16) {
      std::memcpy(reinterpret_cast<uint8_t*>(Samples.data()) + offset, data, bytes);
      return;
    }
    for (uint32_t i = 0; i < bytes; ++i)
      Samples[offset + i] = static_cast<int16_t>((data[i] - 128) * 256);
  }
};

// Adds `count` output frames of one ring into `sum`, from `cursor` on. Every source frame
// reached, and the one after it, lies inside the ring.
using TKernel = void (*)(const int16_t* samples, uint64_t& cursor, uint64_t step, int32_t left,
                         int32_t right, int32_t* sum, uint32_t count);

template <uint32_t kChannels>
void MixAtRate(const int16_t* samples, uint64_t& cursor, uint64_t, int32_t left, int32_t right,
               int32_t* sum, uint32_t count) {
  const int16_t* frame = samples + (cursor >> 32) * kChannels;
  for (uint32_t i = 0; i < count; ++i, frame += kChannels) {
    const int32_t l = frame[0], r = frame[kChannels - 1];
    sum[2 * i] += (l * left) >> 16;
    sum[2 * i + 1] += (r * right) >> 16;
  }
  cursor += uint64_t{count} << 32;
}

// Linear interpolation with a 15-bit weight, so every product fits in 32 bits.
template <uint32_t kChannels>
void MixResampled(const int16_t* samples, uint64_t& cursor, uint64_t step, int32_t left,
                  int32_t right, int32_t* sum, uint32_t count) {
  uint64_t at = cursor;
  for (uint32_t i = 0; i < count; ++i, at += step) {
    const int16_t* frame = samples + (at >> 32) * kChannels;
    const int32_t weight = static_cast<int32_t>(static_cast<uint32_t>(at) >> 17);
    int32_t l = frame[0], r = frame[kChannels - 1];
    l += ((frame[kChannels] - l) * weight) >> 15;
    r += ((frame[2 * kChannels - 1] - r) * weight) >> 15;
    sum[2 * i] += (l * left) >> 16;
    sum[2 * i + 1] += (r * right) >> 16;
  }
  cursor = at;
}

TKernel KernelFor(const TSlot& slot) {
  // A ring at the mix rate whose cursor sits on a whole frame copies its samples as they are.
  const bool resampled = slot.Step != kOneFrame || static_cast<uint32_t>(slot.Cursor) != 0;
  if (slot.Format.Channels == 1) return resampled ? MixResampled<1> : MixAtRate<1>;
  return resampled ? MixResampled<2> : MixAtRate<2>;
}

void MixSlot(TSlot& slot, int32_t* sum, uint32_t frames) {
  const TKernel kernel = KernelFor(slot);
  const uint64_t end = uint64_t{slot.Frames} << 32;
  while (frames > 0 && slot.Playing) {
    // Output frames until the cursor passes the ring's last frame.
    const uint64_t beforeEnd = (end - slot.Cursor + slot.Step - 1) / slot.Step;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(beforeEnd, frames));
    const uint64_t from = slot.Cursor >> 32;
    kernel(slot.Samples.data(), slot.Cursor, slot.Step, slot.GainLeft, slot.GainRight, sum, count);
    sum += 2 * count;
    frames -= count;
    if (slot.Cursor < end) {
      slot.PlayedFrames += (slot.Cursor >> 32) - from;
    } else if (slot.Looping) {
      slot.PlayedFrames += (slot.Cursor >> 32) - from;
      slot.Cursor %= end;
    } else {
      // Played to the end: stopped, and a new Play starts it from the beginning.
      slot.PlayedFrames += slot.Frames - from;
      slot.Playing = false;
      slot.Cursor = 0;
    }
  }
}

// The one clamp of the mix, to signed 16 bits.
void Saturate(const int32_t* sum, int16_t* out, uint32_t count) {
  uint32_t i = 0;
#if defined(__SSE2__)
  // Saturating packs clamp exactly as the loop below does, eight samples at a time; the
  // plain loop alone costs as much as mixing two channels.
  for (; i + 8 <= count; i += 8) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sum + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sum + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
  }
#endif
  for (; i < count; ++i) out[i] = static_cast<int16_t>(std::clamp(sum[i], -32768, 32767));
}

}  // namespace

struct TAudioMixer::TState {
  mutable std::mutex Lock;
  std::array<TSlot, kMaxAudioChannels> Slots;
  std::array<int32_t, kChunkFrames * kMixChannels> Sum{};

  TSlot* Find(TAudioChannel channel) {
    if (!channel || channel.Index >= Slots.size()) return nullptr;
    TSlot& slot = Slots[channel.Index];
    return slot.InUse && slot.Generation == channel.Generation ? &slot : nullptr;
  }
  const TSlot* Find(TAudioChannel channel) const {
    return const_cast<TState*>(this)->Find(channel);
  }

  // Runs `change` on the channel's slot under the lock; false for a stale handle.
  template <typename TChange>
  bool Change(TAudioChannel channel, TChange&& change) {
    std::lock_guard lock(Lock);
    TSlot* slot = Find(channel);
    if (slot) change(*slot);
    return slot != nullptr;
  }
  template <typename TRead>
  bool Read(TAudioChannel channel, TRead&& read) const {
    std::lock_guard lock(Lock);
    const TSlot* slot = Find(channel);
    if (slot) read(*slot);
    return slot != nullptr;
  }
};

TAudioMixer::TAudioMixer() : State(std::make_unique<TState>()) {}
TAudioMixer::~TAudioMixer() = default;

bool TAudioMixer::Playable(const TWaveFormat& format) {
  return format.FormatTag == 1 && (format.Channels == 1 || format.Channels == 2) &&
         (format.BitsPerSample == 8 || format.BitsPerSample == 16) &&
         format.BlockAlign == format.Channels * format.BitsPerSample / 8 &&
         format.SamplesPerSec >= kMinFrequency && format.SamplesPerSec <= kMaxFrequency;
}

bool TAudioMixer::Accepts(const TWaveFormat& format, uint32_t bytes) {
  return Playable(format) && bytes >= format.BlockAlign && bytes <= kMaxChannelBytes;
}

TAudioChannel TAudioMixer::CreateChannel(const TWaveFormat& format, uint32_t bytes) {
  if (!Accepts(format, bytes)) return {};
  const uint32_t frames = bytes / format.BlockAlign;
  // Allocated before the lock is taken: the audio callback must not wait for it.
  std::vector<int16_t> samples((size_t{frames} + 1) * format.Channels);
  std::lock_guard lock(State->Lock);
  for (uint32_t index = 0; index < State->Slots.size(); ++index) {
    TSlot& slot = State->Slots[index];
    if (slot.InUse) continue;
    const uint32_t generation = slot.Generation + 1 ? slot.Generation + 1 : 1;
    slot = TSlot{};
    slot.InUse = true;
    slot.Generation = generation;
    slot.Format = format;
    slot.Frames = frames;
    slot.Samples = std::move(samples);
    slot.Frequency = format.SamplesPerSec;
    slot.Step = StepFor(format.SamplesPerSec);
    return TAudioChannel{index, generation};
  }
  return {};
}

void TAudioMixer::DestroyChannel(TAudioChannel channel) {
  std::vector<int16_t> freed;  // released after the lock, for the same reason
  std::lock_guard lock(State->Lock);
  if (TSlot* slot = State->Find(channel)) {
    slot->InUse = false;
    slot->Playing = false;
    freed.swap(slot->Samples);
  }
}

bool TAudioMixer::Write(TAudioChannel channel, uint32_t offset, const uint8_t* data,
                        uint32_t bytes) {
  std::lock_guard lock(State->Lock);
  TSlot* slot = State->Find(channel);
  if (!slot || offset >= slot->RingBytes() || bytes > slot->RingBytes()) return false;
  if (bytes == 0) return true;
  const uint32_t first = std::min(bytes, slot->RingBytes() - offset);
  slot->Store(offset, data, first);
  slot->Store(0, data + first, bytes - first);
  slot->FillGuard();
  return true;
}

bool TAudioMixer::Play(TAudioChannel channel, bool looping) {
  return State->Change(channel, [&](TSlot& slot) {
    slot.Playing = true;
    slot.Looping = looping;
    slot.FillGuard();
  });
}

bool TAudioMixer::Stop(TAudioChannel channel) {
  return State->Change(channel, [](TSlot& slot) { slot.Playing = false; });
}

bool TAudioMixer::IsPlaying(TAudioChannel channel) const {
  bool playing = false;
  State->Read(channel, [&](const TSlot& slot) { playing = slot.Playing; });
  return playing;
}

bool TAudioMixer::GetPlayPosition(TAudioChannel channel, uint32_t& position) const {
  return State->Read(channel, [&](const TSlot& slot) {
    position = static_cast<uint32_t>(slot.Cursor >> 32) * slot.Format.BlockAlign;
  });
}

bool TAudioMixer::SetPlayPosition(TAudioChannel channel, uint32_t position) {
  std::lock_guard lock(State->Lock);
  TSlot* slot = State->Find(channel);
  if (!slot || position >= slot->RingBytes()) return false;
  slot->Cursor = uint64_t{position / slot->Format.BlockAlign} << 32;
  return true;
}

bool TAudioMixer::GetPlayedBytes(TAudioChannel channel, uint64_t& bytes) const {
  return State->Read(
      channel, [&](const TSlot& slot) { bytes = slot.PlayedFrames * slot.Format.BlockAlign; });
}

bool TAudioMixer::SetVolume(TAudioChannel channel, int32_t volume) {
  return State->Change(channel, [&](TSlot& slot) {
    slot.Volume = std::clamp(volume, kSilentVolume, 0);
    slot.UpdateGains();
  });
}

bool TAudioMixer::GetVolume(TAudioChannel channel, int32_t& volume) const {
  return State->Read(channel, [&](const TSlot& slot) { volume = slot.Volume; });
}

bool TAudioMixer::SetPan(TAudioChannel channel, int32_t pan) {
  return State->Change(channel, [&](TSlot& slot) {
    slot.Pan = std::clamp(pan, -kFullPan, kFullPan);
    slot.UpdateGains();
  });
}

bool TAudioMixer::GetPan(TAudioChannel channel, int32_t& pan) const {
  return State->Read(channel, [&](const TSlot& slot) { pan = slot.Pan; });
}

bool TAudioMixer::SetFrequency(TAudioChannel channel, uint32_t frequency) {
  if (frequency != 0 && (frequency < kMinFrequency || frequency > kMaxFrequency)) return false;
  return State->Change(channel, [&](TSlot& slot) {
    slot.Frequency = frequency ? frequency : slot.Format.SamplesPerSec;
    slot.Step = StepFor(slot.Frequency);
  });
}

bool TAudioMixer::GetFrequency(TAudioChannel channel, uint32_t& frequency) const {
  return State->Read(channel, [&](const TSlot& slot) { frequency = slot.Frequency; });
}

void TAudioMixer::Mix(int16_t* out, uint32_t frames) {
  std::lock_guard lock(State->Lock);
  int32_t* sum = State->Sum.data();
  while (frames > 0) {
    const uint32_t count = std::min(frames, kChunkFrames);
    std::fill_n(sum, count * kMixChannels, 0);
    for (TSlot& slot : State->Slots)
      if (slot.InUse && slot.Playing) MixSlot(slot, sum, count);
    Saturate(sum, out, count * kMixChannels);
    out += count * kMixChannels;
    frames -= count;
  }
}
