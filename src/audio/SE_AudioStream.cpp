#include "audio/SE_AudioStream.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"

TAudioStreamNotify::TAudioStreamNotify(TAudioStream& stream)
    : Stream(stream),
      Interval(static_cast<uint32_t>(std::min(stream.BufferLength / 4, 50))),
      Timer(Host().StartTimer(Interval, [this] { Step(); })) {}

TAudioStreamNotify::~TAudioStreamNotify() {
  // The owner's pointer to this object is already cleared, so stopping does not come back here.
  if (StopOnDestroy) Stream.Stop();
}

void TAudioStreamNotify::Step() {
  try {
    Stream.Update();
  } catch (const std::exception& error) {
    // A refill that fails ends this sound, not the presentation; Update has stopped it.
    DebugOutput(std::string("[DirectSound] ") + error.what());
  }
}

TAudioStream::TAudioStream(TDirectSound& sound)
    : Buffer(std::make_unique<TDirectSoundBuffer>(sound)), DSound(sound) {}

TAudioStream::~TAudioStream() {
  Stop();
  SetWaveStream(nullptr);
}

template <typename TWork>
void TAudioStream::StoppingOnError(TWork&& work) {
  try {
    work();
  } catch (...) {
    Stop();
    throw;
  }
}

void TAudioStream::SetWaveStream(TCustomWaveStream* stream) {
  Stop();
  WaveStream = nullptr;
  WritePos = 0;
  Position = 0;
  ReadPos = 0;
  const TWaveFormat* format = stream ? stream->GetWaveFormat() : nullptr;
  if (stream && BufferLength > 0) {
    // The rate the samples really have: a stated byte rate that disagrees would make a ring
    // of the wrong length, or a huge one.
    const uint32_t bytesPerSecond = format ? format->BlockAlign * format->SamplesPerSec : 0;
    TDSBufferDesc desc;
    desc.Flags = kDSBCapsGetCurrentPosition2 | kDSBCapsCtrlVolume | kDSBCapsCtrlPan |
                 kDSBCapsCtrlFrequency;
    desc.BufferBytes =
        static_cast<uint32_t>(uint64_t{bytesPerSecond} * static_cast<uint32_t>(BufferLength) / 1000);
    desc.Format = format;
    if (!Buffer->CreateBuffer(desc)) ShowSoundError("[DirectSound] Createbuffer error!");
    BufferSize = Buffer->Size;
  } else {
    Buffer->ReleaseBuffer();
    BufferSize = 0;
  }
  WaveStream = stream;
}

void TAudioStream::Play() {
  if (Playing) return;
  if (!WaveStream) {
    ShowSoundError("[DirectSound] WaveStream not set!");
    return;
  }
  // Without a ring (its creation was reported) there is nothing to play into.
  if (GetSize() == 0 || !Buffer->HasBuffer()) return;
  StoppingOnError([&] {
    Playing = true;
    SetPosition(Position);
    if (AutoUpdate) Notify = std::make_unique<TAudioStreamNotify>(*this);
  });
}

void TAudioStream::Stop() {
  if (!Playing) return;
  Playing = false;
  Buffer->Stop();
  // Safe from inside the notification's own step: the host ends a timer at once even there.
  Notify.reset();
}

void TAudioStream::SetPosition(int32_t bytes) {
  if (!WaveStream) {
    ShowSoundError("[DirectSound] WaveStream not set!");
    return;
  }
  const TWaveFormat* format = WaveStream->GetWaveFormat();
  const int32_t align = format && format->BlockAlign ? format->BlockAlign : 1;
  const int32_t clamped = std::max(std::min(bytes, GetSize() - 1), 0);
  Position = clamped - clamped % align;
  if (!Playing) return;
  StoppingOnError([&] {
    Buffer->Stop();
    WritePos = 0;
    ReadPos = Position;
    WriteData(BufferSize);
    Buffer->SetPlayPosition(0);
    Buffer->Play(true);
  });
}

void TAudioStream::SetLooped(bool looped) {
  if (looped == Looped) return;
  Looped = looped;
  SetPosition(Position);
}

void TAudioStream::SetAutoUpdate(bool autoUpdate) {
  if (autoUpdate == AutoUpdate) return;
  AutoUpdate = autoUpdate;
  if (!Playing) return;
  if (Notify) {
    Notify->StopOnDestroy = false;
    Notify.reset();
  }
  if (AutoUpdate) Notify = std::make_unique<TAudioStreamNotify>(*this);
}

void TAudioStream::SetBufferLength(int32_t milliseconds) {
  milliseconds = std::max(milliseconds, 10);
  if (milliseconds == BufferLength) return;
  BufferLength = milliseconds;
  if (WaveStream) RecreateBuffer();
}

void TAudioStream::RecreateBuffer() {
  const bool playing = Playing;
  const int32_t position = Position;
  const bool ring = Buffer->HasBuffer();
  const uint32_t frequency = ring ? Buffer->GetFrequency() : 0;
  const int32_t pan = ring ? Buffer->GetPan() : 0;
  const int32_t volume = ring ? Buffer->GetVolume() : 0;
  SetWaveStream(WaveStream);
  if (Buffer->HasBuffer()) {
    Buffer->SetFrequency(frequency);
    Buffer->SetPan(pan);
    Buffer->SetVolume(volume);
  }
  Position = position;
  if (playing) Play();
}

int32_t TAudioStream::GetSize() const {
  if (!WaveStream) return 0;
  // Positions are 32-bit; larger data plays its first 2 GiB.
  return static_cast<int32_t>(std::clamp<int64_t>(WaveStream->GetSize(), 0, INT32_MAX));
}

uint32_t TAudioStream::GetWriteSize() {
  const uint32_t cursor = Buffer->GetPlayPosition();
  int64_t bytes = int64_t{cursor} - WritePos;
  if (cursor < WritePos) bytes += BufferSize;
  const int64_t filled = WaveStream->GetFilledSize();
  if (filled >= 0) bytes = std::min(bytes, filled);
  return static_cast<uint32_t>(bytes);
}

void TAudioStream::Update() {
  if (!Playing) return;
  // Stopped by the device for a newer sound: as if the script had stopped it.
  if (Buffer->Evicted()) return Stop();
  StoppingOnError([&] {
    const int32_t size = GetSize();
    if (Looped) {
      const uint32_t bytes = GetWriteSize();
      if (bytes < 1) return;
      WriteData(bytes);
      Position = static_cast<int32_t>((int64_t{Position} + bytes) % size);
    } else if (Position < size) {
      const uint32_t bytes = GetWriteSize();
      if (bytes < 1) return;
      WriteData(bytes);
      Position = static_cast<int32_t>(std::min<int64_t>(int64_t{Position} + bytes, size));
    } else {
      Stop();
    }
  });
}

uint32_t TAudioStream::WriteData(uint32_t bytes) {
  const int32_t size = GetSize();
  if (Looped) {
    for (uint32_t left = bytes; left > 0 && size > 0;) {
      const uint32_t part = std::min<uint32_t>(static_cast<uint32_t>(size - ReadPos), left);
      WriteFromStream(part);
      ReadPos %= size;
      left -= part;
    }
    return bytes;
  }
  const int64_t rest = int64_t{size} - ReadPos;
  if (rest <= 0) {
    WriteSilence(bytes);
  } else if (rest < bytes) {
    WriteFromStream(static_cast<uint32_t>(rest));
    WriteSilence(bytes - static_cast<uint32_t>(rest));
  } else {
    WriteFromStream(bytes);
  }
  return bytes;
}

void TAudioStream::WriteFromStream(uint32_t bytes) {
  uint8_t* parts[2] = {};
  uint32_t sizes[2] = {};
  if (!Buffer->Lock(WritePos, bytes, parts[0], sizes[0], parts[1], sizes[1])) return;
  const uint8_t silence = WaveStream->GetWaveFormat()->BitsPerSample == 8 ? 128 : 0;
  WaveStream->Seek(ReadPos, 0);
  for (int i = 0; i < 2 && sizes[i] > 0; ++i) {
    const int64_t read = WaveStream->Read(parts[i], sizes[i]);
    // Bytes the stream could not give are heard as silence, not as what the ring held before.
    std::memset(parts[i] + read, silence, sizes[i] - static_cast<size_t>(read));
    ReadPos += static_cast<int32_t>(sizes[i]);
  }
  WritePos = (WritePos + sizes[0] + sizes[1]) % BufferSize;
  Buffer->Unlock();
}

void TAudioStream::WriteSilence(uint32_t bytes) {
  uint8_t* parts[2] = {};
  uint32_t sizes[2] = {};
  if (!Buffer->Lock(WritePos, bytes, parts[0], sizes[0], parts[1], sizes[1])) return;
  const uint8_t silence = WaveStream->GetWaveFormat()->BitsPerSample == 8 ? 128 : 0;
  for (int i = 0; i < 2; ++i)
    if (sizes[i]) std::memset(parts[i], silence, sizes[i]);
  WritePos = (WritePos + sizes[0] + sizes[1]) % BufferSize;
  ReadPos += static_cast<int32_t>(sizes[0] + sizes[1]);
  Buffer->Unlock();
}

TAudioFileStream::~TAudioFileStream() {
  Stop();
  SetWaveStream(nullptr);
}

void TAudioFileStream::SetFileName(const std::string& name) {
  if (name == FileName) return;
  FileName = name;
  if (WaveFile) {
    SetWaveStream(nullptr);
    WaveFile.reset();
  }
  if (name.empty()) return;
  Buffer->Name = name;
  try {
    WaveFile = std::make_unique<TWaveFileStream>(name);
    WaveFile->OpenRead();
    // A format that describes no sound was reported by OpenRead; nothing is attached.
    if (WaveFile->FormatValid()) SetWaveStream(WaveFile.get());
  } catch (...) {
    SetWaveStream(nullptr);
    WaveFile.reset();
    FileName.clear();
    throw;
  }
}

std::unique_ptr<TAudioFileStream> CreateAudioFileStream(TDirectSound* sound,
                                                        const std::string& fileName) {
  if (!sound || !sound->Initialized || !IsRegularFile(fileName)) return nullptr;
  auto stream = std::make_unique<TAudioFileStream>(*sound);
  stream->SetAutoUpdate(true);
  stream->SetBufferLength(2000);
  try {
    stream->SetFileName(fileName);
  } catch (const std::exception& error) {
    // An unreadable sound is silent, as a missing one is; it does not end the presentation.
    ShowSoundError(std::string("[DirectSound] ") + error.what());
    return nullptr;
  }
  if (!stream->WaveStream || !stream->Buffer->HasBuffer()) return nullptr;
  stream->SetLooped(false);
  return stream;
}
