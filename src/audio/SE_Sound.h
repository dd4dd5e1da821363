#pragma once
// The sound device as the player's sound code knows it: the device object that opens the
// output at 44 100 Hz, 16-bit stereo, and its ring buffers with their play cursor, lock and
// unlock, volume, pan and frequency. Behind them is the platform's software mixer.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/SE_Mixer.h"

// Result codes of the device's operations, as the sound device of the original reported them.
enum : uint32_t {
  kDSOk = 0x00000000,
  kDSErrGeneric = 0x80004005,
  kDSErrOutOfMemory = 0x8007000E,
  kDSErrInvalidParam = 0x80070057,
  kDSErrInvalidCall = 0x88780032,
  kDSErrBadFormat = 0x88780064,
  kDSErrNoDriver = 0x88780078,
  kDSErrUninitialized = 0x887800AA,
};

// The description of a result code.
std::string DSErrorString(uint32_t code);

// A sound problem that does not stop the play: stderr and a message box with an empty title.
void ShowSoundError(const std::string& message);

// The result of the last call made through an object.
class TDirectX {
 public:
  virtual ~TDirectX() = default;
  uint32_t DXResult = kDSOk;
};

// What a new buffer is asked to be.
constexpr uint32_t kDSBCapsPrimaryBuffer = 0x00000001;
constexpr uint32_t kDSBCapsCtrlFrequency = 0x00000020;
constexpr uint32_t kDSBCapsCtrlPan = 0x00000040;
constexpr uint32_t kDSBCapsCtrlVolume = 0x00000080;
constexpr uint32_t kDSBCapsGetCurrentPosition2 = 0x00010000;
struct TDSBufferDesc {
  uint32_t Size = 36;
  uint32_t Flags = 0;
  uint32_t BufferBytes = 0;
  const TWaveFormat* Format = nullptr;
};

class TDirectSoundBuffer;

// The device. It lives as long as the engine; buffers that outlive it (their owners are freed
// later) are detached from it when it goes and do nothing from then on.
class TDirectSound : public TDirectX {
 public:
  // Opens the output; `Ready` and `Initialized` tell whether it worked.
  TDirectSound();
  ~TDirectSound() override;
  TDirectSound(const TDirectSound&) = delete;
  TDirectSound& operator=(const TDirectSound&) = delete;

  bool Initialise(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample);
  // The device's mixer; null when the device could not be opened.
  TAudioMixer* Mixer() { return Device.get(); }

  bool Initialized = false;
  bool Exclusive = true;
  bool Ready = false;
  std::string ErrorText;
  TWaveFormat PrimaryFormat;
  // Every buffer made on this device, registered by the buffers themselves.
  std::vector<TDirectSoundBuffer*> Buffers;

 private:
  friend class TDirectSoundBuffer;
  void ReportError(const std::string& message);
  void ReleaseInterfaces();
  // Frees a channel of the mixer for `buffer`: one whose sound has stopped, else the one of
  // the sound that started first, which stops (with a line in the log).
  void FreeChannelFor(const TDirectSoundBuffer& buffer);

  uint64_t Starts = 0;  // sounds started on this device, to know which started first

  std::unique_ptr<TAudioMixer> Device;
  bool AudioOpen = false;
};

// One ring buffer of the device. Locked parts are written in a copy of the ring that Unlock
// hands to the mixer, so the mixer's thread never reads memory the engine's thread writes.
//
// The mixer has kMaxAudioChannels channels, and a presentation may declare any number of
// sounds: a buffer takes a channel when it starts to play and keeps it until another sound
// needs it and this one no longer plays. With every channel playing, the sound that started
// first is stopped for the new one (Evicted tells its owner). Without a channel the buffer
// keeps its ring, cursor, volume, pan and frequency itself and hands them to the next one.
class TDirectSoundBuffer : public TDirectX {
 public:
  explicit TDirectSoundBuffer(TDirectSound& sound);
  ~TDirectSoundBuffer() override;
  TDirectSoundBuffer(const TDirectSoundBuffer&) = delete;
  TDirectSoundBuffer& operator=(const TDirectSoundBuffer&) = delete;

  // Takes no channel yet, and no memory for the ring until it is first locked.
  bool CreateBuffer(const TDSBufferDesc& desc);
  // Lets the ring go (the buffer object stays, without a ring).
  void ReleaseBuffer();
  bool HasBuffer() const { return Size > 0; }
  // True when the device stopped this buffer to give its channel to a newer sound, until it
  // plays again.
  bool Evicted() const { return WasEvicted; }

  uint32_t GetFrequency();
  void SetFrequency(uint32_t frequency);
  int32_t GetPan();
  void SetPan(int32_t pan);
  int32_t GetVolume();
  // Hundredths of a decibel, clamped to -10000 .. 0.
  void SetVolume(int32_t volume);
  uint32_t GetPlayPosition();
  void SetPlayPosition(uint32_t position);
  // Bytes played since the ring was made, across wraps.
  uint64_t GetPlayedBytes();
  bool Play(bool looping);
  void Stop();
  bool IsPlaying();
  // Two parts of the ring from `offset` for `bytes` (the second when the range wraps); false
  // while a lock is held or without a ring.
  bool Lock(uint32_t offset, uint32_t bytes, uint8_t*& part1, uint32_t& size1, uint8_t*& part2,
            uint32_t& size2);
  void Unlock();

  TDirectSound* DSound;  // null once the device has gone
  TWaveFormat Format;
  uint32_t Size = 0;  // bytes of the ring
  int32_t LockCount = 0;
  std::string Name;  // the sound's file, for the log

 private:
  friend class TDirectSound;
  // The mixer when there is a ring, else a message and null.
  TAudioMixer* Device();
  // Makes a channel hold the ring and the settings; false when the mixer has none to give.
  bool TakeChannel(TAudioMixer& mixer);
  // Gives the channel back, keeping where its cursor was and what it played.
  void GiveChannelBack(TAudioMixer& mixer);

  TAudioChannel Channel;
  std::vector<uint8_t> Shadow;  // the whole ring; what Lock hands out
  uint32_t LockOffset = 0, LockBytes = 0;
  // What the buffer answers while it has no channel.
  int32_t Volume = 0, Pan = 0;
  uint32_t Frequency = 0;
  uint32_t Cursor = 0;
  uint64_t PlayedBefore = 0;  // bytes played on channels given back
  uint64_t StartedAs = 0;     // the device's count of starts when this one last started
  bool WasEvicted = false;
};
