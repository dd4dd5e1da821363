#pragma once
// Streamed wave sound: a wave stream played through one looping ring buffer of a fixed length,
// whose played part is refilled every few tens of milliseconds on the engine's thread. Sounds
// are never loaded whole; a two-second ring rides out a stalled frame loop.
#include <cstdint>
#include <memory>
#include <string>

#include "audio/SE_Sound.h"
#include "audio/SE_Wave.h"

class THostTimer;
class TAudioStream;

// Hands the stream's refill to the engine's thread at a fixed interval while it plays. On the
// SDL host a thread waits out the interval; headless, the virtual clock does.
class TAudioStreamNotify {
 public:
  explicit TAudioStreamNotify(TAudioStream& stream);
  // Stops the stream too, unless told not to; ends the hand-overs at once.
  ~TAudioStreamNotify();
  TAudioStreamNotify(const TAudioStreamNotify&) = delete;
  TAudioStreamNotify& operator=(const TAudioStreamNotify&) = delete;

  TAudioStream& Stream;
  uint32_t Interval;
  bool StopOnDestroy = true;

 private:
  void Step();
  std::unique_ptr<THostTimer> Timer;
};

class TAudioStream {
 public:
  explicit TAudioStream(TDirectSound& sound);
  virtual ~TAudioStream();
  TAudioStream(const TAudioStream&) = delete;
  TAudioStream& operator=(const TAudioStream&) = delete;

  // Attaches a wave stream (not owned; null detaches) and makes the ring for its format.
  void SetWaveStream(TCustomWaveStream* stream);
  void Play();
  void Stop();
  // Bytes into the wave data, clamped to it and aligned to whole blocks.
  void SetPosition(int32_t bytes);
  void SetLooped(bool looped);
  void SetAutoUpdate(bool autoUpdate);
  void SetBufferLength(int32_t milliseconds);
  // One refill step.
  void Update();
  int32_t GetSize() const;

  uint32_t GetFrequency() { return Buffer->GetFrequency(); }
  void SetFrequency(uint32_t frequency) { Buffer->SetFrequency(frequency); }
  int32_t GetPan() { return Buffer->GetPan(); }
  void SetPan(int32_t pan) { Buffer->SetPan(pan); }
  int32_t GetVolume() { return Buffer->GetVolume(); }
  void SetVolume(int32_t volume) { Buffer->SetVolume(volume); }

  bool AutoUpdate = true;
  std::unique_ptr<TDirectSoundBuffer> Buffer;
  int32_t BufferLength = 2000;
  uint32_t WritePos = 0;
  uint32_t BufferSize = 0;
  TDirectSound& DSound;
  bool Looped = false;
  bool Playing = false;
  int32_t Position = 0;  // in the wave data, as played
  TCustomWaveStream* WaveStream = nullptr;
  int32_t ReadPos = 0;
  std::unique_ptr<TAudioStreamNotify> Notify;

 private:
  uint32_t GetWriteSize();
  uint32_t WriteData(uint32_t bytes);
  void WriteFromStream(uint32_t bytes);
  void WriteSilence(uint32_t bytes);
  void RecreateBuffer();
  // Runs `work`; a failure stops the stream and passes on.
  template <typename TWork>
  void StoppingOnError(TWork&& work);
};

// A streamed wave file, opened by name.
class TAudioFileStream : public TAudioStream {
 public:
  using TAudioStream::TAudioStream;
  ~TAudioFileStream() override;
  // Opens and attaches the file; a file that cannot be read throws, leaving the stream empty.
  void SetFileName(const std::string& name);

  std::string FileName;
  std::unique_ptr<TWaveFileStream> WaveFile;
};

// A player for a wave file, or null when there is no sound device or no such file.
std::unique_ptr<TAudioFileStream> CreateAudioFileStream(TDirectSound* sound,
                                                        const std::string& fileName);
