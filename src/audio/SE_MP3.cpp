#include "audio/SE_MP3.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "audio/SE_AudioDecoder.h"
#include "base/SE_Log.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"

namespace {
constexpr uint32_t kFrameBytes = 4;         // 16-bit stereo
constexpr uint32_t kRingFrames = kMixRate * 2;  // two seconds ahead, as wave sounds have
constexpr uint32_t kRefillMs = 50;

int64_t FramesToTime(uint64_t frames) {
  return static_cast<int64_t>(frames * 10'000'000 / kMixRate);
}
uint64_t TimeToFrames(int64_t time) {
  return static_cast<uint64_t>(time) * kMixRate / 10'000'000;
}
}  // namespace

TMP3Notify::TMP3Notify(TGEMP3& mp3)
    : Timer(Host().StartTimer(kRefillMs, [&mp3] {
        try {
          mp3.Update();
        } catch (const std::exception& error) {
          DebugOutput(std::string("[TGEMP3] ") + error.what());
        }
      })) {}

TMP3Notify::~TMP3Notify() = default;

TGEMP3::TGEMP3(TDirectSound& sound, const std::string& fileName, bool looped)
    : FileName(fileName), Looped(looped), Buffer(sound) {
  Buffer.Name = fileName;
  Ready = sound.Initialized;
  if (!Ready) MP3Error("(DirectShow) Error during initializing.");
  Load();
}

TGEMP3::~TGEMP3() {
  Notify.reset();
  if (Playing) Buffer.Stop();
}

void TGEMP3::MP3Error(const std::string& message) {
  ErrorText = message;
  Ok = false;
  WriteLog("[TGEMP3] " + message);
  Host().ShowMessage("GE DShow", message);
  throw std::runtime_error(message);
}

void TGEMP3::Load() {
  if (Loaded || !IsRegularFile(FileName)) return;
  StopPos = -1;
  std::string reason;
  Decoder = TAudioDecoder::Open(FileName, reason);
  if (!Decoder) {
    WriteLog("[TGEMP3] " + reason);
    DebugOutput("[TGEMP3] " + reason);
    MP3Error("(DirectShow) Error during GraphBuilder.RenderFile.");
  }
  StatedFrames = Decoder->DurationFrames();
  // A sound holds its decoder only while it plays: a presentation may declare hundreds.
  Decoder.reset();
  const TWaveFormat format;  // the mix's own: 44 100 Hz, 16-bit stereo
  TDSBufferDesc desc;
  desc.Flags = kDSBCapsGetCurrentPosition2 | kDSBCapsCtrlVolume | kDSBCapsCtrlPan;
  desc.BufferBytes = kRingFrames * kFrameBytes;
  desc.Format = &format;
  if (!Buffer.CreateBuffer(desc)) MP3Error("(DirectShow) Error during init the play.");
  Volume = Buffer.GetVolume();
  Balance = Buffer.GetPan() / 100;
  Loaded = true;
}

bool TGEMP3::OpenDecoder() {
  std::string reason;
  Decoder = TAudioDecoder::Open(FileName, reason);
  DecodePos = 0;
  // Opened once already: the file has changed or gone since; the sound stays silent.
  if (!Decoder) WriteLog("[TGEMP3] " + reason);
  return Decoder != nullptr;
}

void TGEMP3::Play() {
  if (Playing || !Loaded || !OpenDecoder()) return;
  StopPos = -1;
  Restart();
  Playing = Buffer.IsPlaying();
  StopPos = GetStopPosition();
  Notify = std::make_unique<TMP3Notify>(*this);
}

void TGEMP3::Restart() {
  Buffer.Stop();
  if (DecodePos != StartFrame) {
    Decoder->Seek(StartFrame);
    DecodePos = StartFrame;
  }
  WritePos = 0;
  Fill(kRingFrames);
  Buffer.SetPlayPosition(0);
  PlayedAtStart = Buffer.GetPlayedBytes();
  Buffer.Play(true);
}

void TGEMP3::Stop() {
  Notify.reset();
  Buffer.Stop();
  Playing = false;
  Decoder.reset();
  Seek(0);
}

bool TGEMP3::IsPlaying() {
  if (StopPos == -1) StopPos = GetStopPosition();
  // Stopped by the device for a newer sound: as if the script had stopped it.
  if (Playing && Buffer.Evicted()) Stop();
  // The end is known only once the decoder has met it; a sound that does not loop is over
  // when every frame up to there has been heard.
  if (Playing && !Looped && TotalFrames >= 0 &&
      StartFrame + PlayedFrames() >= static_cast<uint64_t>(TotalFrames)) {
    Playing = false;
    Buffer.Stop();
    Notify.reset();
    Decoder.reset();
    // Played out: a later Play starts here, at the end, as a finished medium does.
    StartFrame = static_cast<uint64_t>(TotalFrames);
    PlayedAtStart = Buffer.GetPlayedBytes();
  }
  return Playing;
}

uint64_t TGEMP3::PlayedFrames() {
  return (Buffer.GetPlayedBytes() - PlayedAtStart) / kFrameBytes;
}

int64_t TGEMP3::GetPosition() {
  if (!Loaded) return -1;
  uint64_t frame = StartFrame + PlayedFrames();
  if (TotalFrames > 0) {
    frame = Looped ? frame % static_cast<uint64_t>(TotalFrames)
                   : std::min(frame, static_cast<uint64_t>(TotalFrames));
  }
  return FramesToTime(frame);
}

int64_t TGEMP3::GetStopPosition() {
  if (!Loaded) return -1;
  if (TotalFrames >= 0) return FramesToTime(static_cast<uint64_t>(TotalFrames));
  return StatedFrames < 0 ? -1 : FramesToTime(static_cast<uint64_t>(StatedFrames));
}

void TGEMP3::Seek(int64_t position) {
  if (!Loaded) return;
  const int64_t stop = GetStopPosition();
  position = std::max<int64_t>(position, 0);
  if (stop >= 0) position = std::min(position, stop);
  StartFrame = TimeToFrames(position);
  if (Playing) {
    Restart();
    return;
  }
  // Not playing, there is no decoder: Play opens one and seeks it here.
  PlayedAtStart = Buffer.GetPlayedBytes();
}

void TGEMP3::Update() {
  if (!IsPlaying()) return;
  const uint32_t cursor = Buffer.GetPlayPosition();
  uint32_t bytes = cursor >= WritePos ? cursor - WritePos : cursor + Buffer.Size - WritePos;
  if (bytes >= kFrameBytes) Fill(bytes / kFrameBytes);
}

void TGEMP3::Fill(uint32_t frames) {
  uint8_t* parts[2] = {};
  uint32_t sizes[2] = {};
  if (!Buffer.Lock(WritePos, frames * kFrameBytes, parts[0], sizes[0], parts[1], sizes[1])) return;
  for (int i = 0; i < 2; ++i) {
    auto* out = reinterpret_cast<int16_t*>(parts[i]);
    uint32_t wanted = sizes[i] / kFrameBytes;
    while (wanted > 0) {
      const uint32_t got = Decoder->Read(out, wanted);
      DecodePos += got;
      out += got * kMixChannels;
      wanted -= got;
      if (wanted == 0) break;
      // The end of the file: now its length is known exactly.
      if (Decoder->Failed()) WriteLog("[TGEMP3] " + Decoder->ErrorText());
      if (TotalFrames < 0) TotalFrames = static_cast<int64_t>(DecodePos);
      if (!Looped || TotalFrames == 0 || !Decoder->Seek(0)) {
        std::memset(out, 0, wanted * kFrameBytes);
        break;
      }
      DecodePos = 0;
    }
  }
  WritePos = (WritePos + sizes[0] + sizes[1]) % Buffer.Size;
  Buffer.Unlock();
}
