#pragma once
// The browser's host: frames onto the page's canvas, mouse and keys from the page's events,
// the page's clock, timers and sound turned by the page's own loop, message boxes as notes on
// the page. A browser gives the program no thread and no blocking wait, so nothing here
// waits: the page calls in once per animation frame (VEKWebMain.cpp) and whenever its audio
// worklet wants sound. Only the browser build compiles it.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/PL_Host.h"
#include "platform/PL_Timers.h"

class TWebHost : public THost {
 public:
  TWebHost();
  ~TWebHost() override;

  void ShowMessage(const std::string& caption, const std::string& text) override;
  uint32_t TimeMs() override;
  bool StartProgram(const std::vector<std::string>& arguments, std::string& error) override;
  bool OpenDocument(const std::string& target, std::string& error) override;
  const char* ProgramsRefused() const override;
  bool OpenDisplay(const TDisplayRequest& request, std::string& error) override;
  void CloseDisplay() override;
  void ChooseScreen(const TScreenChoice& choice) override { Scaling = choice.Scaling; }
  bool DisplayIs555() override { return false; }
  bool PollEvent(THostEvent& event) override;
  void Present(TPlatformSurface& frame, bool waitRetrace, const TFrameChanges& changes) override;
  void ShowCursor(bool visible) override;
  void FrameSkipped() override;
  // Once per animation frame (see AnimationFrame).
  bool FrameDue() override;
  bool OpenAudio(TAudioSource& mixer, std::string& error) override;
  void CloseAudio() override { Mixer = nullptr; }
  std::unique_ptr<THostTimer> StartTimer(uint32_t intervalMs, std::function<void()> task) override;
  void RunTasks() override { Timers->RunTasks(TimeMs()); }

  // The page's animation frame has come: one frame is due. Until the page plays sound, the
  // sound of the time gone by is mixed and dropped, so a presentation that waits for a sound
  // to end does not wait for ever before the visitor's first click.
  void AnimationFrame();
  // True while an event waits or a frame is due: the loop has work in this animation frame.
  bool HasWork() const { return !Events.empty() || FrameOwed; }

  // A clock for tests that steps StepMs per frame shown or skipped, as veke-render's does,
  // so the page shows the same frames at the same times of play; every frame is due, and
  // each step mixes (and drops) its own sound.
  void UseSteppedClock(uint32_t stepMs);
  bool Stepped() const { return StepMs > 0; }
  uint32_t PlayedMs() { return TimeMs() - StartMs; }
  // The time of play of the last frame shown, and the frames shown so far.
  uint32_t LastFrameMs = 0;
  int32_t FramesPresented = 0;

  // Page events. Points are in the page's CSS pixels; `buttons` as the DOM's MouseEvent
  // gives them (1 left, 2 right, 4 middle).
  enum class TPointer { Move, Down, Up };
  void Pointer(TPointer kind, double x, double y, int32_t buttons, bool shift, bool ctrl);
  void Queue(THostEventType type);
  // The page's size in CSS pixels and its device pixels per CSS pixel: the frame's place is
  // fitted anew and handed to the page.
  void Resize(int32_t width, int32_t height, double ratio);

  // The page's audio output plays (true) or stopped (false).
  void SetAudioLive(bool live) { AudioLive = live; }
  // `frames` stereo frames of the mix for the page's audio output; silence without a mixer.
  const int16_t* MixForPage(uint32_t frames);
  uint64_t FramesMixedForPage = 0;

 private:
  // The sound of `ms` milliseconds mixed and dropped, the fractions carried over.
  void DropSound(uint32_t ms);
  void PlaceFrame();

  uint32_t StepMs = 0;  // 0: the page's clock
  uint32_t VirtualMs = 0, StartMs = 0, LastTickMs = 0;
  bool FrameOwed = false;
  std::deque<THostEvent> Events;
  std::unique_ptr<TVirtualTimers> Timers;
  TScaling Scaling = TScaling::Sharp;
  TWindowSizes Sizes;
  TScreenFit Fit;
  int32_t FrameWidth = 0, FrameHeight = 0;
  std::vector<uint32_t> Widen;  // the page's RGBA of every 16-bit frame pixel
  std::vector<uint32_t> Rgba;   // the frame as the page's canvas takes it
  std::vector<int32_t> Parts;   // changed rectangles handed to the page: x, y, width, height
  bool WholeDue = false;        // the canvas of a new display has nothing yet
  TAudioSource* Mixer = nullptr;
  bool AudioLive = false;
  uint32_t MixRemainder = 0;
  std::vector<int16_t> MixBuffer;
};

std::unique_ptr<THost> CreateWebHost();
// The web host in use; nullptr when another host is installed.
TWebHost* WebHost();
