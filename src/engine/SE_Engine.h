#pragma once
// The engine: the window, the message loop, the frame clock, and the objects a presentation
// draws with.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/SE_Sound.h"
#include "base/SE_Object.h"
#include "engine/SE_DDraw.h"
#include "engine/SE_Font.h"
#include "engine/SE_Map.h"
#include "graphics/SE_Sprite.h"
#include "platform/PL_Host.h"
#include "video/SE_AnimPlay.h"

// A frame handler; the argument is the frame time in milliseconds.
using TFrameEvent = std::function<void(int32_t)>;

// The mouse as the window reported it last, in presentation pixels.
struct TMouseState {
  int32_t X = 0, Y = 0;
  bool Left = false, Right = false, Middle = false, Shift = false, Ctrl = false;
};

// Copied from the window's mouse state at the start of every frame; buttons clear Left when
// they take a click.
extern TMouseState MouseSnapshot;
// Shown after the frames-per-second figure.
extern std::string StatusText;

struct TEngineParams {
  int32_t Width = 640;
  int32_t Height = 480;
  int32_t BitDepth = 16;
  std::string Caption;  // as the script wrote it (code page 1250)
  bool FullScreen = true;
  bool Hardware = false;
  bool Flip = false;
  std::string IconFile;
};

class TGEngine : public TGEObject {
 public:
  TGEngine(const TEngineParams& params, TFrameEvent onFrame, TFrameEvent onAfterFrame);
  ~TGEngine() override;
  TGEngine(const TGEngine&) = delete;
  TGEngine& operator=(const TGEngine&) = delete;

  // Runs frames until the quit message; an exception of a frame handler passes on.
  void Run();
  // Asks the loop to end after the current frame (the quit message).
  void PostQuit() { QuitPosted = true; }
  void ShowCursor(bool visible);
  // Handles a window key as if it had been pressed, before the next frame.
  void PostWindowKey(TWindowKey key) { PendingKeys.push_back(key); }

  // One turn of the loop: the quit message, else one waiting event, else one frame.
  // True when a frame was run.
  bool RunOnce();
  // One pass of the loop without a waiting message; true when a frame ran and was shown.
  bool FrameStep();
  // For drawing that may take long: takes the events that came in since the frame began (at
  // most every kFramePollInterval, as asking the desktop costs more than a face) and says
  // whether the user has closed the window meanwhile. The frame is then given up: what it
  // drew is not shown, and the loop ends before the next.
  bool ClosedDuringFrame();
  static constexpr std::chrono::milliseconds kFramePollInterval{20};

  TEngineParams Params;
  bool Terminated = false;
  bool ShowFPS = false;
  uint32_t TotalTime = 0;
  int32_t FrameTime = 0;
  uint32_t FPSTime = 0;
  uint32_t LastTime = 0;
  int32_t FrameCount = 0;
  int32_t FPS = 0;
  bool CountFPS = true;
  int32_t FPSX = 0, FPSY = 0;
  bool SoundReady = false;
  bool CursorVisible = true;
  bool AppActive = true;
  TFrameEvent OnFrame;
  TFrameEvent OnAfterFrame;
  // The window's own keys, handed on between frames (a key can come in while a long frame
  // draws, and a screenshot then must not catch it half drawn).
  std::function<void(TWindowKey)> OnWindowKey;
  std::string Caption;
  bool Windowed = false;
  bool Flip = false;
  std::unique_ptr<TGEDDraw> Display;
  std::unique_ptr<TGESprites> Sprites;
  std::unique_ptr<TGEMap> Map;
  std::unique_ptr<TDirectSound> Sound;
  std::unique_ptr<TGEAnimPlay> AnimPlay;
  std::unique_ptr<TGEFont> Font;  // given by the script player
  TMouseState MouseState;
  uint32_t LastInputMs = 0;  // the host's clock at the last mouse event
  bool PressSeen = false;  // a left press arrived since the last snapshot

 private:
  void HandleEvent(const THostEvent& event);
  void UpdateTiming();
  void Present();
  void DrawOverlay(const std::string& text);

  bool QuitPosted = false;
  std::vector<TWindowKey> PendingKeys;
  bool DisplayOpen = false;
  bool FrameClosed = false;  // a close came in while the current frame was drawn
  std::chrono::steady_clock::time_point LastFramePoll;
};
