#include "engine/SE_Engine.h"

#include <cmath>
#include <utility>

#include "base/SE_DDrawErrors.h"
#include "platform/PL_Host.h"
#include "platform/PL_ServiceNotify.h"
#include "platform/PL_Text.h"

TMouseState MouseSnapshot;
std::string StatusText;

TGEngine::TGEngine(const TEngineParams& params, TFrameEvent onFrame, TFrameEvent onAfterFrame)
    : Params(params),
      OnFrame(std::move(onFrame)),
      OnAfterFrame(std::move(onAfterFrame)),
      Caption(params.Caption),
      Windowed(!params.FullScreen),
      Flip(params.FullScreen && params.Flip) {
  LastTime = Host().TimeMs();
  Display = std::make_unique<TGEDDraw>(Windowed, params.Hardware, Flip);

  bool rgb555 = Host().DisplayIs555();
  TDisplayRequest request;
  request.Width = params.Width;
  request.Height = params.Height;
  request.Caption = Cp1250ToUtf8(Caption);
  request.FullScreen = !Windowed;
  request.Format = PixelFormatForDepth(params.BitDepth, rgb555);
  std::string reason;
  // The screen is checked before anything is opened, so a bad size fails the same way on
  // every host.
  if (!Display->SetMode(params.Width, params.Height, params.BitDepth, Flip, rgb555)) {
    GetErrorFrom(*Display);
    return;
  }
  if (!Host().OpenDisplay(request, reason)) {
    DebugOutput("display: " + reason);
    Display->DisplayFatal("SetDisplayMode: ", DDResult::kInvalidMode);
  }
  DisplayOpen = true;
  Sprites = std::make_unique<TGESprites>(*Display);
  Map = std::make_unique<TGEMap>(Display.get());
  if (!Map->Ready) {
    GetErrorFrom(*Map);
    return;
  }
  // Without an audio device the device says so once and the presentation plays on silently.
  Sound = std::make_unique<TDirectSound>();
  SoundReady = Sound->Initialized;
  AnimPlay = std::make_unique<TGEAnimPlay>(*Display, SoundReady ? Sound.get() : nullptr);
}

TGEngine::~TGEngine() {
  Font.reset();
  Map.reset();
  Sprites.reset();
  AnimPlay.reset();
  Sound.reset();
  Display.reset();
  if (DisplayOpen) Host().CloseDisplay();
}

void TGEngine::Run() {
  while (!Terminated) RunOnce();
}

bool TGEngine::RunOnce() {
  // A loop that stops turning stops these, and a service manager watching them restarts us.
  ServiceLoopTurned();
  Host().RunTasks();
  for (const TWindowKey key : std::exchange(PendingKeys, {}))
    if (OnWindowKey) OnWindowKey(key);
  THostEvent event;
  if (QuitPosted) {
    Terminated = true;
  } else if (Host().PollEvent(event)) {
    HandleEvent(event);
  } else if (Host().FrameDue()) {
    return FrameStep();
  }
  return false;
}

void TGEngine::HandleEvent(const THostEvent& event) {
  switch (event.Type) {
    case THostEventType::Close:
      // Escape or the window's close box: the window goes, and with it the loop.
      PostQuit();
      break;
    case THostEventType::MouseMove:
    case THostEventType::MouseDown:
    case THostEventType::MouseUp:
      LastInputMs = Host().TimeMs();
      MouseState = {event.X, event.Y, event.Left, event.Right, event.Middle, event.Shift,
                    event.Ctrl};
      // A tap shorter than a frame would otherwise never be seen pressed.
      if (event.Type == THostEventType::MouseDown && event.Left) PressSeen = true;
      break;
    case THostEventType::Minimized:
      AppActive = false;
      break;
    case THostEventType::Restored:
      AppActive = true;
      break;
    case THostEventType::FocusLost:
      if (!Windowed) AppActive = false;
      break;
    case THostEventType::FocusGained:
      if (!Windowed) AppActive = true;
      break;
    case THostEventType::WindowKey:
      PendingKeys.push_back(event.Key);
      break;
  }
}

bool TGEngine::FrameStep() {
  if (!AppActive) {
    Host().FrameSkipped();
    return false;
  }
  if (Display->InFrame) return false;
  UpdateTiming();
  Display->InFrame = true;
  FrameClosed = false;
  LastFramePoll = std::chrono::steady_clock::now();  // the loop asked just before the frame
  MouseSnapshot = MouseState;
  if (PressSeen) MouseSnapshot.Left = true;
  PressSeen = false;
  try {
    if (!Display->SurfaceMode) DrawTarget = Display->WorkDesc;
    else DrawTarget = Display->SurfaceDesc;
    if (OnFrame) OnFrame(FrameTime);
    ++FrameCount;
    if (OnAfterFrame) OnAfterFrame(FrameTime);
  } catch (...) {
    Display->InFrame = false;
    throw;
  }
  Display->InFrame = false;
  if (FrameClosed) return false;
  Present();
  return true;
}

bool TGEngine::ClosedDuringFrame() {
  if (FrameClosed || !Display->InFrame) return FrameClosed;
  const auto now = std::chrono::steady_clock::now();
  if (now - LastFramePoll < kFramePollInterval) return false;
  LastFramePoll = now;
  THostEvent event;
  while (!FrameClosed && Host().PollEvent(event)) {
    HandleEvent(event);
    FrameClosed = event.Type == THostEventType::Close;
  }
  return FrameClosed;
}

void TGEngine::UpdateTiming() {
  uint32_t now = Host().TimeMs();
  FrameTime = static_cast<int32_t>(now - LastTime);
  TotalTime += static_cast<uint32_t>(FrameTime);
  LastTime = now;
  Display->CurrentTime = now;
  if (CountFPS && now - FPSTime >= 1000) {
    long double rate = static_cast<long double>(FrameCount) * 1000 / (now - FPSTime);
    FPS = static_cast<int32_t>(std::nearbyintl(rate));
    FrameCount = 0;
    FPSTime = now;
  }
}

void TGEngine::Present() {
  DrawOverlay("FPS:" + std::to_string(FPS));
  Display->CopyWorkBuffer();
  if (Flip) Display->FlipSurface();
  else Display->BlitToWindow();
}

void TGEngine::DrawOverlay(const std::string& text) {
  if (!ShowFPS || !Font) return;
  Font->SetFace(kFixedFace);
  Font->TextOut(FPSX, FPSY, text + " " + StatusText);
}

void TGEngine::ShowCursor(bool visible) {
  CursorVisible = visible;
  Host().ShowCursor(visible);
}
