#include "video/SE_AnimPlay.h"

#include <algorithm>
#include <cstring>

#include "base/SE_Log.h"
#include "base/SE_MemoryBudget.h"
#include "base/SE_SafeMath.h"
#include "image/SE_Picture.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "video/SE_VideoDecoder.h"

namespace {
constexpr uint32_t kFrameBytes = 4;  // the clip's sound: 16-bit stereo at the mix rate
constexpr uint32_t kRingFrames = kMixRate * 2;
// Larger frames than this are not a clip of any presentation; a header that claims them lies.
constexpr int32_t kMaxVideoSide = 16384;

int64_t FramesToTime(uint64_t frames) {
  return static_cast<int64_t>(frames * 10'000'000 / kMixRate);
}
}  // namespace

TGEAnimPlay::TGEAnimPlay(TGEDisplay& display, TDirectSound* sound)
    : SoundEnabled(sound && sound->Initialized), Display(display), Sound(sound) {}

TGEAnimPlay::~TGEAnimPlay() { Release(); }

void TGEAnimPlay::ReportError(const std::string& message, const std::string& reason) {
  ErrorText = message + " " + reason;
  Ready = false;
  WriteLog("[TGEAnimPlay] " + ErrorText);
  Host().ShowMessage("GE AnimPlay", ErrorText);
}

void TGEAnimPlay::Open(const std::string& fileName, int32_t x, int32_t y, bool fullScreen,
                       bool looped, int32_t volume, int32_t width, int32_t height,
                       bool freeWhenDone) {
  FreeWhenDone = freeWhenDone;
  Volume = volume;
  InitStream();
  FileName = fileName;
  FullScreen = fullScreen;
  X = fullScreen ? 0 : x;
  Y = fullScreen ? 0 : y;
  DestWidth = width;
  DestHeight = height;
  Looped = looped;
  OpenStream();
}

void TGEAnimPlay::OpenStream() {
  // A missing clip is not an error of the player: it simply never plays.
  if (!IsRegularFile(FileName)) return;
  std::string reason;
  Stream = TVideoDecoder::Open(FileName, SoundEnabled, reason);
  if (!Stream) {
    ReportError("[AnimPlay] Error during opening file: " + FileName, reason);
    return;
  }
  VideoWidth = Stream->Width();
  VideoHeight = Stream->Height();
  if (VideoWidth <= 0 || VideoHeight <= 0 || VideoWidth > kMaxVideoSide ||
      VideoHeight > kMaxVideoSide) {
    ReportError("[AnimPlay] Error during getting Media Stream Format.",
                std::to_string(VideoWidth) + "x" + std::to_string(VideoHeight));
    Stream.reset();
    return;
  }
  if (FullScreen) {
    DestWidth = Display.Width;
    DestHeight = Display.Height;
  } else {
    if (DestWidth == 0) DestWidth = VideoWidth;
    if (DestHeight == 0) DestHeight = VideoHeight;
  }
  // The frames' buffer waits for the first frame (MakeSurface): until then its size is only
  // what the header claims.
  VideoSurface.reset();
  SurfaceCharge = {};
  DestRect = TRect{X, Y, SaturatedAdd(X, DestWidth), SaturatedAdd(Y, DestHeight)};
  if (SoundEnabled && Stream->HasAudio()) {
    SoundBuffer = std::make_unique<TDirectSoundBuffer>(*Sound);
    SoundBuffer->Name = FileName;
    const TWaveFormat format;
    TDSBufferDesc desc;
    desc.BufferBytes = kRingFrames * kFrameBytes;
    desc.Format = &format;
    if (SoundBuffer->CreateBuffer(desc))
      SoundBuffer->SetVolume(Volume);
    else
      SoundBuffer.reset();
  }
  Opened = true;
  Rewind();
}

bool TGEAnimPlay::InitStream() {
  if (Opened) Release();
  return true;
}

void TGEAnimPlay::Release() {
  Stop();
  Stream.reset();
  SoundBuffer.reset();
  Opened = false;
  Playing = false;
}

void TGEAnimPlay::Play() {
  // Without a clip (never opened, or let go at its end) there is nothing to start.
  if (!Opened || Playing) return;
  Playing = true;
  ClockTicks = Host().TimeMs();
  if (!SoundBuffer || SoundEnded) return;
  if (SoundFramesQueued == 0) StartSound();
  else SoundBuffer->Play(true);  // resumes where it was stopped
}

void TGEAnimPlay::Stop() {
  if (!Playing) return;
  ClockBase = GetTime();
  Playing = false;
  if (SoundBuffer) SoundBuffer->Stop();
}

void TGEAnimPlay::StartSound() {
  SoundBuffer->Stop();
  SoundWritePos = 0;
  FeedSound(kRingFrames);
  SoundBuffer->SetPlayPosition(0);
  SoundPlayedAtStart = SoundBuffer->GetPlayedBytes();
  SoundBuffer->Play(true);
}

void TGEAnimPlay::FeedSound(uint32_t frames) {
  uint8_t* parts[2] = {};
  uint32_t sizes[2] = {};
  if (!SoundBuffer->Lock(SoundWritePos, frames * kFrameBytes, parts[0], sizes[0], parts[1],
                         sizes[1]))
    return;
  for (int i = 0; i < 2 && sizes[i] > 0; ++i) {
    const uint32_t wanted = sizes[i] / kFrameBytes;
    auto* samples = reinterpret_cast<int16_t*>(parts[i]);
    const uint32_t got = SoundEnded ? 0 : Stream->ReadAudio(samples, wanted);
    std::memset(parts[i] + got * kFrameBytes, 0, (wanted - got) * kFrameBytes);
    SoundFramesQueued += got;
    if (got < wanted) SoundEnded = true;
  }
  SoundWritePos = (SoundWritePos + sizes[0] + sizes[1]) % SoundBuffer->Size;
  SoundBuffer->Unlock();
}

int64_t TGEAnimPlay::GetTime() {
  if (!Opened) return 0;
  if (SoundBuffer && SoundFramesQueued > 0) {
    const uint64_t played = (SoundBuffer->GetPlayedBytes() - SoundPlayedAtStart) / kFrameBytes;
    // The sound runs the clock while it lasts; after its last sample time runs on as it
    // passes, from there.
    if (!SoundEnded || played < static_cast<uint64_t>(SoundFramesQueued))
      return FramesToTime(played);
    if (ClockBase < FramesToTime(static_cast<uint64_t>(SoundFramesQueued))) {
      ClockBase = FramesToTime(static_cast<uint64_t>(SoundFramesQueued));
      ClockTicks = Host().TimeMs();
    }
  }
  if (!Playing) return ClockBase;
  return ClockBase + int64_t{Host().TimeMs() - ClockTicks} * 10'000;
}

bool TGEAnimPlay::Update() {
  if (!Playing) return false;
  if (SoundBuffer && SoundBuffer->Evicted() && !SoundEnded) {
    // The device stopped the sound for a newer one: the clip goes on silent, its clock
    // running on from what was heard.
    SoundEnded = true;
    SoundFramesQueued =
        static_cast<int64_t>((SoundBuffer->GetPlayedBytes() - SoundPlayedAtStart) / kFrameBytes);
  }
  if (SoundBuffer) {
    const uint32_t cursor = SoundBuffer->GetPlayPosition();
    const uint32_t bytes = cursor >= SoundWritePos ? cursor - SoundWritePos
                                                   : cursor + SoundBuffer->Size - SoundWritePos;
    if (bytes >= kFrameBytes) FeedSound(bytes / kFrameBytes);
  }
  if (!MakeSurface()) {
    // Never to play: it is let go, as a clip that cannot be read is.
    Release();
    return false;
  }
  const TVideoFrameResult result = Stream->FrameAt(GetTime(), VideoSurface->Pixels(),
                                                   VideoSurface->Pitch(), Display.Is555);
  if (result == TVideoFrameResult::New) FrameShown = true;
  Draw();
  if (result != TVideoFrameResult::End) return true;
  // The end of the clip, or a clip that cannot be read on: both end the same way.
  if (Stream->Failed()) WriteLog("[TGEAnimPlay] " + FileName + ": " + Stream->ErrorText());
  if (Looped) {
    Rewind();
    return true;
  }
  Stop();
  if (FreeWhenDone)
    Release();
  else
    Rewind();
  return true;
}

// The buffer frames are written into, at the first frame's own size, with the limit of a
// picture and charged to the memory budget. False, reported, when there is none.
bool TGEAnimPlay::MakeSurface() {
  if (VideoSurface) return true;
  // A clip without a single frame ends at once (FrameAt says so); a surface of one pixel is
  // all it needs.
  const bool framed = Stream->AdoptFrameSize();
  const int32_t width = framed ? Stream->Width() : 1, height = framed ? Stream->Height() : 1;
  std::string reason;
  if (!PictureFits(width, height)) {
    reason = TPictureTooLarge(FileName, width, height).what();
  } else {
    try {
      SurfaceCharge = TMemoryCharge(
          uint64_t(width) * uint64_t(height) * uint64_t(Display.BytesPerPixel), FileName);
      VideoSurface = Display.CreateOffscreenSurface(width, height, !Display.SurfaceMode);
    } catch (const TMemoryBudgetError& error) {
      reason = error.what();
    }
  }
  if (!VideoSurface) {
    ReportError("[AnimPlay] Error during creating DirectDraw stream sample.", reason);
    return false;
  }
  VideoSurface->Fill(nullptr, 0);
  VideoWidth = width;
  VideoHeight = height;
  SourceRect = TRect{0, 0, width, height};
  return true;
}

void TGEAnimPlay::Rewind() {
  if (!Stream->Rewind()) WriteLog("[TGEAnimPlay] " + FileName + ": " + Stream->ErrorText());
  ClockBase = 0;
  ClockTicks = Host().TimeMs();
  SoundEnded = false;
  SoundFramesQueued = 0;
  if (SoundBuffer && Playing) StartSound();
}

void TGEAnimPlay::Draw() {
  if (!VideoSurface) return;
  if (Display.SurfaceMode)
    Display.PutSurface(*VideoSurface, SourceRect, DestRect);
  else
    Display.StretchSurface(*VideoSurface, SourceRect, DestRect);
}

void TGEAnimPlay::DrawCurrentFrame() {
  if (Display.SurfaceMode && FrameShown) Draw();
}

bool TGEAnimPlay::GetError(std::string& text) const {
  text = ErrorText;
  return Ready;
}
