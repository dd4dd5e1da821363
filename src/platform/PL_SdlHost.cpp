#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/PL_Host.h"
#include "platform/PL_Process.h"
#include "platform/PL_SdlScreens.h"
#include "platform/PL_Timers.h"

namespace {

class TSdlHost : public THost {
 public:
  ~TSdlHost() override {
    CloseAudio();
    CloseDisplay();
  }

  void ShowMessage(const std::string& caption, const std::string& text) override {
    RecordMessage(caption, text);
    // A box on a kiosk waits for a visitor's click with the show stopped: the message goes
    // to stderr (the journal, under a service manager) and play goes on.
    if (Kiosk || !FirstOfPlay(caption, text)) return;
    // Without a display SDL refuses at once, so this never blocks a headless run.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), Window);
  }
  uint32_t TimeMs() override { return SDL_GetTicks(); }
  bool StartProgram(const std::vector<std::string>& arguments, std::string& error) override {
    return SpawnDetached(arguments, &error);
  }
  bool OpenDocument(const std::string& target, std::string& error) override {
    // No "--" before the target: xdg-open refuses it as an unexpected option. A target that
    // begins with "-" is refused here instead, so it cannot be read as an option.
    if (target.empty() || target.front() == '-') {
      error = "not a document or address: " + target;
      return false;
    }
    // The reason is about the desktop's opener, not about the document.
    if (SpawnDetached({"xdg-open", target}, &error)) return true;
    error = "xdg-open: " + error;
    return false;
  }

  bool OpenDisplay(const TDisplayRequest& request, std::string& error) override;
  void CloseDisplay() override;
  void KeepDisplay() override { KeepWindow = true; }
  void ChooseScreen(const TScreenChoice& choice) override { Choice = choice; }
  bool DisplayIs555() override { return Texture555; }
  bool KnowsKeyName(const std::string& name) const override {
    return SDL_GetKeyFromName(name.c_str()) != SDLK_UNKNOWN;
  }
  bool PollEvent(THostEvent& event) override;
  void Present(TPlatformSurface& frame, bool waitRetrace, const TFrameChanges& changes) override;
  // In kiosk mode the pointer is ours alone (HidePointerWhenIdle).
  void ShowCursor(bool visible) override {
    if (!Kiosk) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  }
  // Nothing to draw: let the processor rest instead of spinning until the window is back.
  void FrameSkipped() override { SDL_Delay(10); }
  bool FrameDue() override;

  bool OpenAudio(TAudioSource& mixer, std::string& error) override;
  void CloseAudio() override;
  std::unique_ptr<THostTimer> StartTimer(uint32_t intervalMs, std::function<void()> task) override {
    return Timers.Start(intervalMs, std::move(task));
  }
  void RunTasks() override { Timers.RunTasks(); }

 private:
  bool Translate(const SDL_Event& sdl, THostEvent& event);
  bool TranslateKey(const SDL_KeyboardEvent& key, THostEvent& event);
  void ToggleFullScreen();
  bool IsExitChord(const SDL_Keysym& key) const;
  // Kiosk mode: a pointer not moved for 3 s, or with nothing to click, is hidden.
  void HidePointerWhenIdle();
  // The window kept from the play before: the new play's frames in it.
  bool ReuseWindow(const TDisplayRequest& request, std::string& error);
  void FillMouse(THostEvent& event, int32_t x, int32_t y, uint32_t buttons);
  bool OpenWindow(const TDisplayRequest& request, std::string& error);
  // Where the frame goes in the window as it is now: the user may resize it at any time.
  TScreenFit CurrentFit();
  bool CreateTexture(const TDisplayRequest& request, uint32_t format, std::string& error);
  // The changed parts that differ from what the screen shows, now noted as shown.
  std::vector<TRect> PartsToSend(TPlatformSurface& frame, const TFrameChanges& changes);
  // Without a graphics processor: the parts scaled straight into the window's shared memory.
  void ShowOnWindowSurface(TPlatformSurface& frame, const std::vector<TRect>& parts, bool whole);

  SDL_Window* Window = nullptr;
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  bool Direct = false;          // frames go to the window surface, not through a renderer
  std::vector<uint32_t> Widen;  // the window surface's pixel for every 16-bit frame pixel
  uint32_t ButtonState = 0;  // mouse buttons as the events so far left them
  bool Texture555 = false;
  bool FullScreen = false;
  bool KeepWindow = false;   // CloseDisplay leaves the window for the next OpenDisplay
  uint32_t PointerMovedMs = 0;
  SDL_Rect WindowedPlace{};  // where the window was before F11 made it cover the screen
  TScreenChoice Choice;
  int32_t FrameWidth = 0, FrameHeight = 0;
  int Vsync = -1;
  SDL_AudioDeviceID AudioDevice = 0;
  TThreadTimers Timers;
  // Pacing: one frame per refresh of the screen the window is on; a part equal to the one on
  // the screen is not sent again unless the window lost its picture.
  using TClock = std::chrono::steady_clock;
  TClock::duration FrameInterval = std::chrono::microseconds(16'667);
  TClock::time_point NextFrameAt;
  std::vector<uint8_t> Shown;
  TClock::time_point ShownAt, OpenedAt;
  bool ShownStale = true;
};

// OpenGL drawn by the processor (Mesa's llvmpipe or softpipe, as on virtual machines and
// Xvfb) costs several times what SDL's own software renderer does for the same frames, so
// without a graphics processor that one draws. A renderer asked for by name is kept.
bool DrawnByProcessor(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
  if (!(info.flags & SDL_RENDERER_ACCELERATED)) return true;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using TGetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<TGetString>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* name = getString ? getString(0x1F01 /* GL_RENDERER */) : nullptr;
  if (!name) return false;
  const std::string glName(reinterpret_cast<const char*>(name));
  for (const char* software : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
    if (glName.find(software) != std::string::npos) return true;
  return false;
}

// The 32-bit value of every 16-bit pixel of `format` in the window surface's XRGB layout.
std::vector<uint32_t> WidenTable(uint32_t format) {
  std::vector<uint32_t> table(65536);
  const bool is555 = format == SDL_PIXELFORMAT_RGB555;
  for (uint32_t p = 0; p < table.size(); ++p) {
    const uint32_t r = is555 ? (p >> 10) & 31 : (p >> 11) & 31, b = p & 31;
    const uint32_t g = is555 ? ((p >> 5) & 31) << 1 | ((p >> 9) & 1) : (p >> 5) & 63;
    table[p] = 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) |
               (b << 3 | b >> 2);
  }
  return table;
}

// Posted by timers' threads: a resting engine thread wakes up and runs their tasks.
Uint32 WakeEventType() {
  static const Uint32 type = SDL_RegisterEvents(1);
  return type;
}

// SDL's audio thread asks for the next stretch of sound.
void SDLCALL PullMix(void* mixer, Uint8* stream, int bytes) {
  static_cast<TAudioSource*>(mixer)->Mix(reinterpret_cast<int16_t*>(stream),
                                        static_cast<uint32_t>(bytes) / (kMixChannels * 2));
}

bool TSdlHost::OpenAudio(TAudioSource& mixer, std::string& error) {
  CloseAudio();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = SDL_GetError();
    return false;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = kMixRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = kMixChannels;
  wanted.samples = 1024;  // 23 ms: short enough for a button's sound, long enough not to break up
  wanted.callback = PullMix;
  wanted.userdata = &mixer;
  // With no changes allowed SDL converts to whatever the hardware wants, so the mix is always
  // in one format.
  AudioDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  if (!AudioDevice) {
    error = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(AudioDevice, 0);
  return true;
}

void TSdlHost::CloseAudio() {
  if (!AudioDevice) return;
  // Returns once the callback has finished, so the mixer is free to go.
  SDL_CloseAudioDevice(AudioDevice);
  AudioDevice = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool TSdlHost::OpenDisplay(const TDisplayRequest& request, std::string& error) {
  PrepareX11Screen(Choice.Display);
  // SDL makes SIGTERM a close request, which a kiosk ignores: the service manager's stop
  // must still end it.
  if (Kiosk) SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = SDL_GetError();
    return false;
  }
  // Without a desktop SDL falls back to drawing nowhere, and the presentation would play
  // unseen for ever; only a driver asked for by name may do that.
  const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  if ((driver == "offscreen" || driver == "dummy") && !(asked && *asked)) {
    const char* x11 = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    error = "no desktop to show the presentation on (";
    if ((x11 && *x11) || (wayland && *wayland)) {
      // Ask the desktop's own driver again, for the reason it gave up.
      SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
      SDL_VideoInit(x11 && *x11 ? "x11" : "wayland");
      error += std::string("cannot reach ") + (x11 && *x11 ? x11 : wayland) + ": " +
               SDL_GetError() + ")";
      SDL_VideoQuit();
    } else {
      error += "DISPLAY and WAYLAND_DISPLAY are not set)";
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  return OpenWindow(request, error);
}

bool TSdlHost::OpenWindow(const TDisplayRequest& request, std::string& error) {
  if (Window) return ReuseWindow(request, error);
  std::string warning;
  const int32_t display = ChooseDisplay(Choice.Display, warning);
  if (!warning.empty()) DebugOutput(warning);
  FullScreen = request.FullScreen || Kiosk;
  // A kiosk screen must not go blank or dark while the presentation plays.
  if (Kiosk) SDL_DisableScreenSaver();
  FrameWidth = request.Width, FrameHeight = request.Height;
  SDL_Rect bounds{0, 0, request.Width, request.Height};
  uint32_t flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (FullScreen) {
    // Covering the desktop ourselves also works where no window manager takes the
    // full-screen request.
    SDL_GetDisplayBounds(display, &bounds);
    flags = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALLOW_HIGHDPI;
  }
  const int position = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  Window = SDL_CreateWindow(request.Caption.c_str(), position, position, bounds.w, bounds.h, flags);
  if (!Window) {
    error = SDL_GetError();
    return false;
  }
  const uint32_t format = SdlPixelFormatOf(request.Format);
  Renderer = SDL_CreateRenderer(Window, -1, 0);
  const char* asked = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if (!(asked && *asked) && (!Renderer || DrawnByProcessor(Renderer)) &&
      Choice.Scaling != TScaling::Smooth &&
      (format == SDL_PIXELFORMAT_RGB565 || format == SDL_PIXELFORMAT_RGB555)) {
    // The processor draws whatever path is taken: the changed parts go straight into the
    // desktop's shared memory, scaled here; only smooth scaling needs a renderer.
    if (Renderer) SDL_DestroyRenderer(Renderer);
    Renderer = nullptr;
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    const SDL_Surface* screen = SDL_GetWindowSurface(Window);
    Direct = screen && (screen->format->format == SDL_PIXELFORMAT_RGB888 ||
                        screen->format->format == SDL_PIXELFORMAT_ARGB8888);
    if (Direct) Widen = WidenTable(format);
    if (!Direct) Renderer = SDL_CreateRenderer(Window, -1, 0);
  }
  if (!Direct && !Renderer) Renderer = SDL_CreateRenderer(Window, -1, SDL_RENDERER_SOFTWARE);
  if (!Direct && !Renderer) {
    error = SDL_GetError();
    return false;
  }
  Texture555 = format == SDL_PIXELFORMAT_RGB555;
  if (!Direct && !CreateTexture(request, format, error)) return false;
  SDL_DisplayMode mode;
  const int shownOn = SDL_GetWindowDisplayIndex(Window);
  if (shownOn >= 0 && SDL_GetCurrentDisplayMode(shownOn, &mode) == 0 && mode.refresh_rate > 0)
    FrameInterval = std::chrono::duration_cast<TClock::duration>(std::chrono::seconds(1)) /
                    mode.refresh_rate;
  NextFrameAt = OpenedAt = TClock::now();
  ShownStale = true;
  Timers.SetWake([] {
    SDL_Event wake{};
    wake.type = WakeEventType();
    SDL_PushEvent(&wake);
  });
  return true;
}

bool TSdlHost::ReuseWindow(const TDisplayRequest& request, std::string& error) {
  SDL_SetWindowTitle(Window, request.Caption.c_str());
  if (!FullScreen && (request.Width != FrameWidth || request.Height != FrameHeight))
    SDL_SetWindowSize(Window, request.Width, request.Height);
  FrameWidth = request.Width, FrameHeight = request.Height;
  const uint32_t format = SdlPixelFormatOf(request.Format);
  Texture555 = format == SDL_PIXELFORMAT_RGB555;
  if (Direct) Widen = WidenTable(format);
  if (!Direct && !CreateTexture(request, format, error)) return false;
  Shown.clear();
  ShownStale = true;
  return true;
}

bool TSdlHost::CreateTexture(const TDisplayRequest& request, uint32_t format, std::string& error) {
  Texture = SDL_CreateTexture(Renderer, format, SDL_TEXTUREACCESS_STREAMING, request.Width,
                              request.Height);
  if (!Texture) {
    error = SDL_GetError();
    return false;
  }
  SDL_SetTextureScaleMode(
      Texture, Choice.Scaling == TScaling::Smooth ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  SDL_SetRenderDrawColor(Renderer, 0, 0, 0, 255);
  return true;
}

bool TSdlHost::FrameDue() {
  // The beat holds with the retrace wait on too: a still frame is not presented, so nothing
  // else would wait for the retrace.
  if (!Window) return true;
  const TClock::time_point now = TClock::now();
  if (now >= NextFrameAt) {
    // A frame that came late moves the beat instead of bunching the frames after it.
    NextFrameAt = now - NextFrameAt > FrameInterval ? now + FrameInterval
                                                     : NextFrameAt + FrameInterval;
    return true;
  }
  const auto rest = std::chrono::ceil<std::chrono::milliseconds>(NextFrameAt - now);
  SDL_WaitEventTimeout(nullptr, static_cast<int>(rest.count()));
  return false;
}

TScreenFit TSdlHost::CurrentFit() {
  TWindowSizes sizes;
  SDL_GetWindowSize(Window, &sizes.WindowWidth, &sizes.WindowHeight);
  if (SDL_GetRendererOutputSize(Renderer, &sizes.DrawableWidth, &sizes.DrawableHeight) != 0)
    sizes.DrawableWidth = sizes.WindowWidth, sizes.DrawableHeight = sizes.WindowHeight;
  return FitFrame(FrameWidth, FrameHeight, sizes, Choice.Scaling);
}

void TSdlHost::CloseDisplay() {
  if (Texture) SDL_DestroyTexture(Texture);
  Texture = nullptr;
  if (std::exchange(KeepWindow, false) && Window) return;
  if (Renderer) SDL_DestroyRenderer(Renderer);
  if (Window) SDL_DestroyWindow(Window);
  Renderer = nullptr, Window = nullptr;
  Direct = false;
}

void TSdlHost::FillMouse(THostEvent& event, int32_t x, int32_t y, uint32_t buttons) {
  if (Renderer || Direct) WindowToFrame(CurrentFit(), x, y, event.X, event.Y);
  event.Left = buttons & SDL_BUTTON_LMASK;
  event.Right = buttons & SDL_BUTTON_RMASK;
  event.Middle = buttons & SDL_BUTTON_MMASK;
  SDL_Keymod mods = SDL_GetModState();
  event.Shift = mods & KMOD_SHIFT;
  event.Ctrl = mods & KMOD_CTRL;
}

bool TSdlHost::Translate(const SDL_Event& sdl, THostEvent& event) {
  switch (sdl.type) {
    case SDL_QUIT:
      // Alt+F4 and the window's close box: in kiosk mode only the exit chord ends play.
      event.Type = THostEventType::Close;
      return !Kiosk;
    case SDL_KEYDOWN:
      return TranslateKey(sdl.key, event);
    case SDL_MOUSEMOTION:
      PointerMovedMs = SDL_GetTicks();
      if (Kiosk && PointerWanted) SDL_ShowCursor(SDL_ENABLE);
      event.Type = THostEventType::MouseMove;
      ButtonState = sdl.motion.state;
      FillMouse(event, sdl.motion.x, sdl.motion.y, sdl.motion.state);
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      event.Type = sdl.type == SDL_MOUSEBUTTONDOWN ? THostEventType::MouseDown
                                                   : THostEventType::MouseUp;
    {
      // The state now may already be past this event (a quick tap is down and up in one
      // batch); the event itself says which button changed.
      const uint32_t bit = SDL_BUTTON(sdl.button.button);
      ButtonState = sdl.type == SDL_MOUSEBUTTONDOWN ? ButtonState | bit : ButtonState & ~bit;
      FillMouse(event, sdl.button.x, sdl.button.y, ButtonState);
      return true;
    }
    case SDL_WINDOWEVENT:
      // Whatever happened to the window may have cost it its picture.
      ShownStale = true;
      switch (sdl.window.event) {
        case SDL_WINDOWEVENT_MINIMIZED:
          event.Type = THostEventType::Minimized;
          return true;
        case SDL_WINDOWEVENT_RESTORED:
          event.Type = THostEventType::Restored;
          return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          event.Type = THostEventType::FocusLost;
          return FullScreen;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          event.Type = THostEventType::FocusGained;
          return FullScreen;
        default:
          return false;
      }
    default:
      return false;
  }
}

bool TSdlHost::TranslateKey(const SDL_KeyboardEvent& key, THostEvent& event) {
  const SDL_Keycode code = key.keysym.sym;
  if (Kiosk ? IsExitChord(key.keysym) : code == SDLK_ESCAPE) {
    event.Type = THostEventType::Close;
    return true;
  }
  if (!WindowKeysOn || key.repeat) return false;
  const bool enter = code == SDLK_RETURN || code == SDLK_KP_ENTER;
  if (code == SDLK_F11 || (enter && (key.keysym.mod & KMOD_ALT))) {
    ToggleFullScreen();
    return false;
  }
  if (code != SDLK_F5 && code != SDLK_F12) return false;
  event.Type = THostEventType::WindowKey;
  event.Key = code == SDLK_F5 ? TWindowKey::Reload : TWindowKey::Screenshot;
  return true;
}

bool TSdlHost::IsExitChord(const SDL_Keysym& key) const {
  if (ExitChord.Key.empty() || key.sym != SDL_GetKeyFromName(ExitChord.Key.c_str())) return false;
  return ExitChord.Ctrl == ((key.mod & KMOD_CTRL) != 0) &&
         ExitChord.Alt == ((key.mod & KMOD_ALT) != 0) &&
         ExitChord.Shift == ((key.mod & KMOD_SHIFT) != 0);
}

void TSdlHost::HidePointerWhenIdle() {
  if (Kiosk && (!PointerWanted || SDL_GetTicks() - PointerMovedMs >= 3000) &&
      SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE)
    SDL_ShowCursor(SDL_DISABLE);
}

void TSdlHost::ToggleFullScreen() {
  if (!Window) return;
  FullScreen = !FullScreen;
  ShownStale = true;
  if (FullScreen) {
    SDL_GetWindowPosition(Window, &WindowedPlace.x, &WindowedPlace.y);
    SDL_GetWindowSize(Window, &WindowedPlace.w, &WindowedPlace.h);
    // Covered by hand as well, for desktops without a window manager to take the request.
    SDL_Rect bounds{0, 0, FrameWidth, FrameHeight};
    SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(Window), 0), &bounds);
    SDL_SetWindowBordered(Window, SDL_FALSE);
    SDL_SetWindowPosition(Window, bounds.x, bounds.y);
    SDL_SetWindowSize(Window, bounds.w, bounds.h);
    SDL_SetWindowFullscreen(Window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return;
  }
  SDL_SetWindowFullscreen(Window, 0);
  SDL_SetWindowBordered(Window, SDL_TRUE);
  SDL_SetWindowResizable(Window, SDL_TRUE);
  // A play that began full screen gets a window of the presentation's size.
  if (WindowedPlace.w <= 0) {
    const int centred = static_cast<int>(
        SDL_WINDOWPOS_CENTERED_DISPLAY(std::max(SDL_GetWindowDisplayIndex(Window), 0)));
    WindowedPlace = {centred, centred, FrameWidth, FrameHeight};
  }
  SDL_SetWindowSize(Window, WindowedPlace.w, WindowedPlace.h);
  SDL_SetWindowPosition(Window, WindowedPlace.x, WindowedPlace.y);
}

bool TSdlHost::PollEvent(THostEvent& event) {
  SDL_Event sdl;
  while (SDL_PollEvent(&sdl)) {
    event = THostEvent{};
    if (Translate(sdl, event)) return true;
  }
  return false;
}

void TSdlHost::Present(TPlatformSurface& frame, bool waitRetrace, const TFrameChanges& changes) {
  HidePointerWhenIdle();
  if (!Texture && !Direct) return;
  if (!Direct && Vsync != static_cast<int>(waitRetrace)) {
    Vsync = waitRetrace;
    SDL_RenderSetVSync(Renderer, waitRetrace);
  }
  // A desktop that has not yet placed the window when the first frames come, or that loses
  // its picture without telling, gets it again whole: often at first, then now and then.
  const size_t bytes = static_cast<size_t>(frame.Pitch()) * frame.Height();
  const TClock::time_point now = TClock::now();
  const auto heal = now - OpenedAt < std::chrono::seconds(2) ? std::chrono::milliseconds(250)
                                                             : std::chrono::milliseconds(2000);
  const bool whole =
      ShownStale || now - ShownAt >= heal || changes.Whole() || Shown.size() != bytes;
  std::vector<TRect> parts;
  if (whole) {
    Shown.assign(frame.Pixels(), frame.Pixels() + bytes);
    parts = {TRect{0, 0, frame.Width(), frame.Height()}};
  } else {
    parts = PartsToSend(frame, changes);
    // A still presentation sends nothing: most of a frame's cost is in getting it on the
    // screen. Parts drawn again as they were (a clip between its frames) count as still.
    if (parts.empty()) return;
  }
  ShownStale = false;
  ShownAt = now;
  if (Direct) {
    ShowOnWindowSurface(frame, parts, whole);
    return;
  }
  for (const TRect& rect : parts) {
    const SDL_Rect area{rect.Left, rect.Top, rect.Width(), rect.Height()};
    SDL_UpdateTexture(Texture, &area,
                      frame.Pixels() + int64_t{rect.Top} * frame.Pitch() +
                          int64_t{rect.Left} * BytesPerPixelOf(frame.Format()),
                      frame.Pitch());
  }
  SDL_RenderClear(Renderer);
  const TScreenFit fit = CurrentFit();
  const SDL_Rect target{fit.X, fit.Y, fit.Width, fit.Height};
  SDL_RenderCopy(Renderer, Texture, nullptr, &target);
  SDL_RenderPresent(Renderer);
}

std::vector<TRect> TSdlHost::PartsToSend(TPlatformSurface& frame, const TFrameChanges& changes) {
  const int64_t pitch = frame.Pitch();
  const int32_t pixelBytes = BytesPerPixelOf(frame.Format());
  std::vector<TRect> parts;
  for (const TRect& rect : changes.List()) {
    const int64_t first = rect.Top * pitch + int64_t{rect.Left} * pixelBytes;
    const size_t rowBytes = static_cast<size_t>(rect.Width()) * pixelBytes;
    bool same = true;
    for (int64_t y = 0; y < rect.Height(); ++y) {
      const int64_t at = first + y * pitch;
      if (std::memcmp(Shown.data() + at, frame.Pixels() + at, rowBytes) == 0) continue;
      std::memcpy(Shown.data() + at, frame.Pixels() + at, rowBytes);
      same = false;
    }
    if (!same) parts.push_back(rect);
  }
  return parts;
}

namespace {
// The first window pixel (from the fit's edge) whose nearest pixel in a frame `frameSize`
// wide shown `fitted` wide is `frame` or beyond; a part [from, to) of the frame covers the
// window pixels from the one of `from` up to the one of `to`, as a scaling of the whole
// frame gives them.
int64_t WindowPixel(int64_t frame, int32_t frameSize, int32_t fitted) {
  return (frame * fitted + frameSize - 1) / frameSize;
}
}  // namespace

void TSdlHost::ShowOnWindowSurface(TPlatformSurface& frame, const std::vector<TRect>& parts,
                                   bool whole) {
  SDL_Surface* screen = SDL_GetWindowSurface(Window);
  if (!screen || SDL_LockSurface(screen) != 0) return;
  const TScreenFit fit = CurrentFit();
  if (whole) std::memset(screen->pixels, 0, static_cast<size_t>(screen->pitch) * screen->h);
  std::vector<SDL_Rect> areas;
  for (const TRect& rect : parts) {
    const int64_t left =
        std::max<int64_t>(fit.X + WindowPixel(rect.Left, FrameWidth, fit.Width), 0);
    const int64_t right =
        std::min<int64_t>(fit.X + WindowPixel(rect.Right, FrameWidth, fit.Width), screen->w);
    const int64_t top =
        std::max<int64_t>(fit.Y + WindowPixel(rect.Top, FrameHeight, fit.Height), 0);
    const int64_t bottom =
        std::min<int64_t>(fit.Y + WindowPixel(rect.Bottom, FrameHeight, fit.Height), screen->h);
    if (left >= right || top >= bottom) continue;
    for (int64_t y = top; y < bottom; ++y) {
      const int64_t sourceY = (y - fit.Y) * FrameHeight / fit.Height;
      auto* from = reinterpret_cast<const uint16_t*>(frame.Pixels() + sourceY * frame.Pitch());
      auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(screen->pixels) +
                                             y * screen->pitch);
      for (int64_t x = left; x < right; ++x)
        to[x] = Widen[from[(x - fit.X) * FrameWidth / fit.Width]];
    }
    areas.push_back(SDL_Rect{static_cast<int>(left), static_cast<int>(top),
                             static_cast<int>(right - left), static_cast<int>(bottom - top)});
  }
  SDL_UnlockSurface(screen);
  if (whole)
    SDL_UpdateWindowSurface(Window);
  else if (!areas.empty())
    SDL_UpdateWindowSurfaceRects(Window, areas.data(), static_cast<int>(areas.size()));
}
}  // namespace

std::unique_ptr<THost> CreateSdlHost() { return std::make_unique<TSdlHost>(); }
