#pragma once
// A video clip played into the display: each engine frame shows the clip's frame that is due
// at the clip's time, scaled to its destination rectangle, and its sound plays through the
// sound device. The clip's time is the sound it has played while its sound lasts, else the
// time that has passed while it played; so the picture follows the sound.
#include <cstdint>
#include <memory>
#include <string>

#include "audio/SE_Sound.h"
#include "base/SE_MemoryBudget.h"
#include "graphics/SE_Display.h"

class TVideoDecoder;

class TGEAnimPlay {
 public:
  // Without a sound device (null) clips play silently.
  TGEAnimPlay(TGEDisplay& display, TDirectSound* sound);
  ~TGEAnimPlay();
  TGEAnimPlay(const TGEAnimPlay&) = delete;
  TGEAnimPlay& operator=(const TGEAnimPlay&) = delete;

  // Sets up a clip, stopped at its start. A missing file leaves the player without a clip.
  void Open(const std::string& fileName, int32_t x, int32_t y, bool fullScreen, bool looped,
            int32_t volume, int32_t width, int32_t height, bool freeWhenDone);
  void Play();
  void Stop();
  // Once per engine frame while playing: draws the frame due and handles the clip's end.
  // False when not playing.
  bool Update();
  // Draws the frame shown last again (surface mode; memory mode redraws nothing).
  void DrawCurrentFrame();
  // The clip's time in units of 100 nanoseconds; 0 without a clip.
  int64_t GetTime();
  bool GetError(std::string& text) const;
  // Readies the player for a new clip: the old one is let go. Nothing in it can fail here.
  bool InitStream();
  // Opens FileName into the player; a missing file leaves it without a clip.
  void OpenStream();
  void Release();

  bool Opened = false;
  bool FreeWhenDone = false;
  uint32_t UpdateFlags = 0;
  // Made when the first frame decodes, at its size (VideoWidth x VideoHeight from then on).
  std::unique_ptr<TPlatformSurface> VideoSurface;
  TRect SourceRect;
  TRect DestRect;
  int32_t Volume = 0;
  int32_t X = 0, Y = 0;
  int32_t VideoWidth = 0, VideoHeight = 0;
  int32_t DestWidth = 0, DestHeight = 0;
  bool SoundEnabled;
  std::string FileName;
  bool Playing = false;
  bool Looped = false;
  bool FullScreen = false;
  bool Ready = true;
  std::string ErrorText;
  TGEDisplay& Display;

 private:
  void ReportError(const std::string& message, const std::string& reason);
  void Rewind();
  bool MakeSurface();
  void Draw();
  // Keeps the sound's ring filled from the clip.
  void FeedSound(uint32_t frames);
  void StartSound();

  TDirectSound* Sound;
  std::unique_ptr<TVideoDecoder> Stream;
  std::unique_ptr<TDirectSoundBuffer> SoundBuffer;
  uint32_t SoundWritePos = 0;
  uint64_t SoundPlayedAtStart = 0;
  bool SoundEnded = false;         // the clip's sound has no more samples
  int64_t SoundFramesQueued = 0;   // sound frames written since the clip's start
  // The clock when the sound does not run it: where it stood, and the host's time then.
  int64_t ClockBase = 0;
  uint32_t ClockTicks = 0;
  bool FrameShown = false;
  TMemoryCharge SurfaceCharge;  // for VideoSurface
};
