#pragma once
// The engine: window, message loop, frame clock, and the objects a presentation draws with.
#include <cstdint>
#include <functional>
#include <string>

#include "media/SE_Object.h"

// A frame handler; the argument is the frame time in milliseconds.
using TFrameEvent = std::function<void(int32_t)>;

struct TEngineParams {
  int32_t Width = 640;
  int32_t Height = 480;
  int32_t BitDepth = 16;
  std::string Caption;
  bool FullScreen = true;
  bool Hardware = false;
  bool Flip = false;
  std::string IconFile;
};

class TGEngine : public TGEObject {
 public:
  TGEngine(const TEngineParams& params, TFrameEvent onFrame, TFrameEvent onAfterFrame);
  ~TGEngine() override;

  // Runs frames until the quit message; an exception of a frame handler passes on.
  void Run();
  void ShowCursor(bool visible);

  TEngineParams Params;
  TFrameEvent OnFrame;
  TFrameEvent OnAfterFrame;
  std::string Caption;
  bool Windowed = false;
  bool Flip = false;
  bool ShowFPS = false;
  bool CursorVisible = true;
  bool SoundReady = false;
  uint32_t TotalTime = 0;
};
