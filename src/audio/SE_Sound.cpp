#include "audio/SE_Sound.h"

#include <algorithm>

#include "base/SE_Log.h"
#include "platform/PL_Host.h"

std::string DSErrorString(uint32_t code) {
  struct TEntry {
    uint32_t Code;
    const char* Text;
  };
  static const TEntry kTexts[] = {
      {0x00000000, "The request completed successfully."},
      {0x80004001, "The function called is not supported at this time."},
      {0x80004002, "The requested COM interface is not available."},
      {0x80004005, "An undetermined error occurred inside the DirectSound subsystem."},
      {0x80040110, "The object does not support aggregation."},
      {0x80070005, "Access is denied."},
      // The apostrophe is the one byte 0xB4 of the Windows-1252 texts, written here in UTF-8.
      {0x8007000E,
       "The DirectSound subsystem could not allocate sufficient memory to complete the caller\xC2\xB4s request."},
      {0x80070057, "An invalid parameter was passed to the returning function."},
      {0x8878000A,
       "The request failed because resources, such as a priority level, were already in use by another caller."},
      {0x8878001E, "The control (volume, pan, and so forth) requested by the caller is not available."},
      {0x88780032, "This function is not valid for the current state of this object."},
      {0x88780046, "The caller does not have the priority level required for the function to succeed."},
      {0x88780064, "The specified wave format is not supported."},
      {0x88780078, "No sound driver is available for use."},
      {0x88780082, "The object is already initialized."},
      {0x88780096, "The buffer memory has been lost and must be restored."},
      {0x887800A0,
       "Another application has a higher priority level, preventing this call from succeeding."},
      {0x887800AA,
       "The IDirectSound::Initialize method has not been called or has not been called successfully before other methods were called."},
      {0x887800B4,
       "Tried to create a DSBCAPS_CTRLFX buffer shorter than DSBSIZE_FX_MIN milliseconds."},
      {0x887800BE, "Attempt to use DirectSound 8 functionality on an older DirectSound object."},
      {0x887800C8, "A circular loop of send effects was detected."},
      {0x887800D2, "The GUID specified in an audiopath file does not match a valid MIXIN buffer."},
      {0x88781161,
       "The object requested was not found (numerically equal to DMUS_E_NOT_FOUND)."},
  };
  for (const TEntry& entry : kTexts)
    if (entry.Code == code) return entry.Text;
  return "Unrecognized Error";
}

void ShowSoundError(const std::string& message) { Host().ShowMessage("", message); }

TDirectSound::TDirectSound() {
  Initialized = Initialise(2, 44100, 16);
  Ready = Initialized;
}

TDirectSound::~TDirectSound() {
  // Buffers belong to the sound objects, which may be freed after the device: they are left
  // without a ring and without a device, and do nothing from then on.
  while (!Buffers.empty()) {
    TDirectSoundBuffer* buffer = Buffers.back();
    buffer->ReleaseBuffer();
    buffer->DSound = nullptr;
    Buffers.pop_back();
  }
  ReleaseInterfaces();
}

bool TDirectSound::Initialise(uint16_t channels, uint32_t samplesPerSec, uint16_t bitsPerSample) {
  Device = std::make_unique<TAudioMixer>();
  std::string reason;
  if (!Host().OpenAudio(*Device, reason)) {
    DXResult = kDSErrNoDriver;
    DebugOutput("[DirectSound] no audio output: " + reason);
    ReportError("[DirectSound] DirectSoundCreate: " + DSErrorString(DXResult));
    return false;
  }
  AudioOpen = true;
  PrimaryFormat.Channels = channels;
  PrimaryFormat.SamplesPerSec = samplesPerSec;
  PrimaryFormat.BitsPerSample = bitsPerSample;
  PrimaryFormat.BlockAlign = static_cast<uint16_t>(bitsPerSample / 8 * channels);
  PrimaryFormat.AvgBytesPerSec = PrimaryFormat.BlockAlign * samplesPerSec;
  // The mix is always 44 100 Hz 16-bit stereo; the output converts whatever else it needs.
  if (channels != kMixChannels || samplesPerSec != kMixRate || bitsPerSample != 16) {
    DXResult = kDSErrBadFormat;
    ReportError("[DirectSound] SetFormat: " + DSErrorString(DXResult));
    return false;
  }
  return true;
}

void TDirectSound::ReportError(const std::string& message) {
  ReleaseInterfaces();
  Ready = false;
  ErrorText = message;
  ShowSoundError(message);
}

void TDirectSound::ReleaseInterfaces() {
  if (AudioOpen) Host().CloseAudio();
  AudioOpen = false;
  for (TDirectSoundBuffer* buffer : Buffers) buffer->ReleaseBuffer();
  Device.reset();
}

void TDirectSound::FreeChannelFor(const TDirectSoundBuffer& buffer) {
  TDirectSoundBuffer* first = nullptr;
  for (TDirectSoundBuffer* other : Buffers) {
    if (other == &buffer || !other->Channel) continue;
    // A sound that has stopped gives its channel back without a word.
    if (!Device->IsPlaying(other->Channel)) return other->GiveChannelBack(*Device);
    if (!first || other->StartedAs < first->StartedAs) first = other;
  }
  if (!first) return;
  const auto nameOf = [](const TDirectSoundBuffer& b) {
    return b.Name.empty() ? std::string("a sound") : b.Name;
  };
  WriteLog("[DirectSound] All " + std::to_string(kMaxAudioChannels) + " sound channels play: " +
           nameOf(*first) + ", the sound that started first, is stopped for " + nameOf(buffer));
  first->GiveChannelBack(*Device);
  first->WasEvicted = true;
}

TDirectSoundBuffer::TDirectSoundBuffer(TDirectSound& sound) : DSound(&sound) {
  sound.Buffers.push_back(this);
}

TDirectSoundBuffer::~TDirectSoundBuffer() {
  ReleaseBuffer();
  if (DSound) std::erase(DSound->Buffers, this);
}

bool TDirectSoundBuffer::CreateBuffer(const TDSBufferDesc& desc) {
  ReleaseBuffer();
  if (!DSound || !DSound->Device) {
    ShowSoundError("[DirectSound] DirectSound not created!");
    return false;
  }
  const bool usable = desc.Format && desc.BufferBytes > 0 && TAudioMixer::Playable(*desc.Format);
  const bool fits = usable && TAudioMixer::Accepts(*desc.Format, desc.BufferBytes);
  DXResult = !usable ? kDSErrBadFormat : fits ? kDSOk : kDSErrOutOfMemory;
  DSound->DXResult = DXResult;
  if (!fits) return false;
  Format = *desc.Format;
  Size = desc.BufferBytes - desc.BufferBytes % Format.BlockAlign;
  Volume = Pan = 0;
  Frequency = Format.SamplesPerSec;
  Cursor = 0;
  PlayedBefore = 0;
  WasEvicted = false;
  return true;
}

void TDirectSoundBuffer::ReleaseBuffer() {
  if (Channel && DSound && DSound->Device) DSound->Device->DestroyChannel(Channel);
  Channel = {};
  Size = 0;
  LockCount = 0;
  Shadow.clear();
  Shadow.shrink_to_fit();
}

TAudioMixer* TDirectSoundBuffer::Device() {
  // A device that has gone leaves its buffers silent without a word: that is the end of play.
  if (!DSound) return nullptr;
  if (!HasBuffer() || !DSound->Device) {
    ShowSoundError("[DirectSound] DirectSound buffer not created!");
    return nullptr;
  }
  return DSound->Device.get();
}

bool TDirectSoundBuffer::TakeChannel(TAudioMixer& mixer) {
  Channel = mixer.CreateChannel(Format, Size);
  if (!Channel) {
    DSound->FreeChannelFor(*this);
    Channel = mixer.CreateChannel(Format, Size);
  }
  if (!Channel) return false;
  // A ring never locked is silence, as a new channel is.
  if (!Shadow.empty()) mixer.Write(Channel, 0, Shadow.data(), Size);
  mixer.SetVolume(Channel, Volume);
  mixer.SetPan(Channel, Pan);
  mixer.SetFrequency(Channel, Frequency);
  mixer.SetPlayPosition(Channel, Cursor);
  return true;
}

void TDirectSoundBuffer::GiveChannelBack(TAudioMixer& mixer) {
  uint64_t played = 0;
  mixer.GetPlayPosition(Channel, Cursor);
  if (mixer.GetPlayedBytes(Channel, played)) PlayedBefore += played;
  mixer.DestroyChannel(Channel);
  Channel = {};
}

uint32_t TDirectSoundBuffer::GetFrequency() { return Device() ? Frequency : 0; }

void TDirectSoundBuffer::SetFrequency(uint32_t frequency) {
  TAudioMixer* mixer = Device();
  if (!mixer || (frequency != 0 && (frequency < kMinFrequency || frequency > kMaxFrequency)))
    return;
  Frequency = frequency ? frequency : Format.SamplesPerSec;
  if (Channel) mixer->SetFrequency(Channel, Frequency);
}

int32_t TDirectSoundBuffer::GetPan() { return Device() ? Pan : 0; }

void TDirectSoundBuffer::SetPan(int32_t pan) {
  TAudioMixer* mixer = Device();
  if (!mixer) return;
  Pan = std::clamp(pan, -kFullPan, kFullPan);
  if (Channel) mixer->SetPan(Channel, Pan);
}

int32_t TDirectSoundBuffer::GetVolume() { return Device() ? Volume : 0; }

void TDirectSoundBuffer::SetVolume(int32_t volume) {
  TAudioMixer* mixer = Device();
  if (!mixer) return;
  Volume = std::clamp(volume, kSilentVolume, 0);
  if (Channel) mixer->SetVolume(Channel, Volume);
}

uint32_t TDirectSoundBuffer::GetPlayPosition() {
  TAudioMixer* mixer = Device();
  if (!mixer) return 0;
  if (Channel) mixer->GetPlayPosition(Channel, Cursor);
  return Cursor;
}

void TDirectSoundBuffer::SetPlayPosition(uint32_t position) {
  TAudioMixer* mixer = Device();
  if (!mixer || position >= Size) return;
  Cursor = position - position % Format.BlockAlign;
  if (Channel) mixer->SetPlayPosition(Channel, Cursor);
}

uint64_t TDirectSoundBuffer::GetPlayedBytes() {
  TAudioMixer* mixer = Device();
  if (!mixer) return 0;
  uint64_t bytes = 0;
  if (Channel) mixer->GetPlayedBytes(Channel, bytes);
  return PlayedBefore + bytes;
}

bool TDirectSoundBuffer::Play(bool looping) {
  TAudioMixer* mixer = Device();
  if (!mixer) return false;
  // Play on a playing buffer only changes its looping; it has not started anew.
  const bool playing = Channel && mixer->IsPlaying(Channel);
  if (!Channel && !TakeChannel(*mixer)) return false;
  if (!playing) StartedAs = ++DSound->Starts;
  WasEvicted = false;
  return mixer->Play(Channel, looping);
}

void TDirectSoundBuffer::Stop() {
  TAudioMixer* mixer = Device();
  if (mixer && Channel) mixer->Stop(Channel);
}

bool TDirectSoundBuffer::IsPlaying() {
  TAudioMixer* mixer = Device();
  return mixer && Channel && mixer->IsPlaying(Channel);
}

bool TDirectSoundBuffer::Lock(uint32_t offset, uint32_t bytes, uint8_t*& part1, uint32_t& size1,
                              uint8_t*& part2, uint32_t& size2) {
  if (LockCount > 0 || !Device()) return false;
  if (offset >= Size || bytes > Size) {
    DXResult = kDSErrInvalidParam;
    return false;
  }
  if (Shadow.empty()) Shadow.assign(Size, Format.BitsPerSample == 8 ? 128 : 0);
  size1 = std::min(bytes, Size - offset);
  size2 = bytes - size1;
  part1 = Shadow.data() + offset;
  part2 = size2 ? Shadow.data() : nullptr;
  LockOffset = offset;
  LockBytes = bytes;
  LockCount = 1;
  return true;
}

void TDirectSoundBuffer::Unlock() {
  if (LockCount <= 0) return;
  LockCount = 0;
  TAudioMixer* mixer = Device();
  if (!mixer || !Channel) return;
  const uint32_t first = std::min(LockBytes, Size - LockOffset);
  mixer->Write(Channel, LockOffset, Shadow.data() + LockOffset, first);
  if (LockBytes > first) mixer->Write(Channel, 0, Shadow.data(), LockBytes - first);
}
