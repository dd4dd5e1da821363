#include "platform/web/PL_WebHost.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
// The page's side (web/veke-page.js) is reached through Module.vekePage.
EM_JS(void, PageOpen, (int width, int height, const char* caption),
      { Module.vekePage.open(width, height, UTF8ToString(caption)); });
EM_JS(void, PagePlace, (double x, double y, double width, double height),
      { Module.vekePage.place(x, y, width, height); });
EM_JS(void, PageFrame, (const void* rgba, int width, int height, const int* parts, int count),
      { Module.vekePage.frame(rgba, width, height, parts, count); });
EM_JS(void, PageMessage, (const char* caption, const char* text),
      { Module.vekePage.message(UTF8ToString(caption), UTF8ToString(text)); });
EM_JS(void, PageCursor, (int visible), { Module.vekePage.cursor(!!visible); });
EM_JS(void, PageSound, (int open), { Module.vekePage.sound(!!open); });

constexpr const char* kNoPrograms = "a web page starts no programs and opens no documents";
// The most sound dropped at once: a page in the background gets no animation frames, and
// its sound stands still as its pictures do.
constexpr uint32_t kMostDroppedMs = 1000;
// Stereo frames mixed at a time, as much as the page's output asks for at once (93 ms).
constexpr uint32_t kMixPiece = 4096;
}  // namespace

TWebHost::TWebHost()
    : Timers(std::make_unique<TVirtualTimers>()), MixBuffer(kMixPiece * kMixChannels) {
  LastTickMs = StartMs = TimeMs();
}

TWebHost::~TWebHost() = default;

void TWebHost::ShowMessage(const std::string& caption, const std::string& text) {
  RecordMessage(caption, text);
  if (FirstOfPlay(caption, text)) PageMessage(caption.c_str(), text.c_str());
}

uint32_t TWebHost::TimeMs() {
  if (Stepped()) return VirtualMs;
  // performance.now() counts from the page's start; wrapped like the system timer.
  return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now()));
}

bool TWebHost::StartProgram(const std::vector<std::string>&, std::string& error) {
  error = kNoPrograms;
  return false;
}

bool TWebHost::OpenDocument(const std::string&, std::string& error) {
  error = kNoPrograms;
  return false;
}

const char* TWebHost::ProgramsRefused() const { return kNoPrograms; }

bool TWebHost::OpenDisplay(const TDisplayRequest& request, std::string& error) {
  if (request.Width <= 0 || request.Height <= 0) {
    error = "invalid display size";
    return false;
  }
  FrameWidth = request.Width, FrameHeight = request.Height;
  Widen.resize(65536);
  for (uint32_t pixel = 0; pixel < Widen.size(); ++pixel) {
    const TRgb8 rgb = UnpackRgb(request.Format, pixel);
    // Bytes R, G, B, A in memory, as ImageData holds them.
    Widen[pixel] = 0xFF000000u | uint32_t{rgb.Blue} << 16 | uint32_t{rgb.Green} << 8 | rgb.Red;
  }
  Rgba.assign(static_cast<size_t>(FrameWidth) * FrameHeight, 0xFF000000u);
  WholeDue = true;
  PageOpen(FrameWidth, FrameHeight, request.Caption.c_str());
  PlaceFrame();
  return true;
}

void TWebHost::CloseDisplay() { FrameWidth = FrameHeight = 0; }

void TWebHost::Resize(int32_t width, int32_t height, double ratio) {
  if (!(ratio > 0)) ratio = 1;
  Sizes.WindowWidth = width, Sizes.WindowHeight = height;
  Sizes.DrawableWidth = static_cast<int32_t>(std::lround(width * ratio));
  Sizes.DrawableHeight = static_cast<int32_t>(std::lround(height * ratio));
  PlaceFrame();
}

void TWebHost::PlaceFrame() {
  if (FrameWidth <= 0) return;
  Fit = FitFrame(FrameWidth, FrameHeight, Sizes, Scaling);
  // The page places the canvas in CSS pixels; the fit is in device pixels.
  const double perDevice =
      Sizes.DrawableWidth > 0 ? double(Sizes.WindowWidth) / Sizes.DrawableWidth : 1.0;
  PagePlace(Fit.X * perDevice, Fit.Y * perDevice, Fit.Width * perDevice, Fit.Height * perDevice);
}

void TWebHost::Pointer(TPointer kind, double x, double y, int32_t buttons, bool shift, bool ctrl) {
  THostEvent event;
  event.Type = kind == TPointer::Move   ? THostEventType::MouseMove
               : kind == TPointer::Down ? THostEventType::MouseDown
                                        : THostEventType::MouseUp;
  WindowToFrame(Fit, static_cast<int32_t>(std::floor(x)), static_cast<int32_t>(std::floor(y)),
                event.X, event.Y);
  event.Left = buttons & 1;
  event.Right = buttons & 2;
  event.Middle = buttons & 4;
  event.Shift = shift, event.Ctrl = ctrl;
  // Moves between two frames say nothing the last of them does not.
  if (kind == TPointer::Move && !Events.empty() &&
      Events.back().Type == THostEventType::MouseMove) {
    Events.back() = event;
    return;
  }
  Events.push_back(event);
}

void TWebHost::Queue(THostEventType type) {
  THostEvent event;
  event.Type = type;
  Events.push_back(event);
}

bool TWebHost::PollEvent(THostEvent& event) {
  if (Events.empty()) return false;
  event = Events.front();
  Events.pop_front();
  return true;
}

void TWebHost::Present(TPlatformSurface& frame, bool, const TFrameChanges& changes) {
  ++FramesPresented;
  LastFrameMs = PlayedMs();
  // The engine's frames are 16-bit, of the size the display was opened with.
  if (frame.Width() == FrameWidth && frame.Height() == FrameHeight &&
      BytesPerPixelOf(frame.Format()) == 2) {
    Parts.clear();
    const auto send = [&](const TRect& rect) {
      const int32_t left = std::max(rect.Left, 0), top = std::max(rect.Top, 0);
      const int32_t right = std::min(rect.Right, FrameWidth),
                    bottom = std::min(rect.Bottom, FrameHeight);
      if (left >= right || top >= bottom) return;
      for (int32_t y = top; y < bottom; ++y) {
        const auto* from =
            reinterpret_cast<const uint16_t*>(frame.Pixels() + int64_t{y} * frame.Pitch());
        uint32_t* to = Rgba.data() + int64_t{y} * FrameWidth;
        for (int32_t x = left; x < right; ++x) to[x] = Widen[from[x]];
      }
      Parts.insert(Parts.end(), {left, top, right - left, bottom - top});
    };
    if (changes.Whole() || std::exchange(WholeDue, false))
      send(TRect{0, 0, FrameWidth, FrameHeight});
    else
      for (const TRect& rect : changes.List()) send(rect);
    if (!Parts.empty())
      PageFrame(Rgba.data(), FrameWidth, FrameHeight, Parts.data(),
                static_cast<int>(Parts.size() / 4));
  }
  if (Stepped()) FrameSkipped();
}

void TWebHost::ShowCursor(bool visible) { PageCursor(visible); }

void TWebHost::FrameSkipped() {
  if (!Stepped()) return;
  DropSound(StepMs);
  VirtualMs += StepMs;
}

bool TWebHost::FrameDue() {
  if (Stepped()) return true;
  return std::exchange(FrameOwed, false);
}

void TWebHost::AnimationFrame() {
  FrameOwed = true;
  const uint32_t now = TimeMs();
  if (!Stepped() && !AudioLive) DropSound(std::min(now - LastTickMs, kMostDroppedMs));
  LastTickMs = now;
}

void TWebHost::UseSteppedClock(uint32_t stepMs) {
  StepMs = stepMs;
  VirtualMs = StartMs = LastTickMs = 0;
}

bool TWebHost::OpenAudio(TAudioSource& mixer, std::string&) {
  Mixer = &mixer;
  // Sound is owed from now on, not from the time the page was loading.
  if (!Stepped()) LastTickMs = TimeMs();
  PageSound(true);
  return true;
}

void TWebHost::DropSound(uint32_t ms) {
  const uint64_t owed = MixRemainder + uint64_t{kMixRate} * ms;
  MixRemainder = static_cast<uint32_t>(owed % 1000);
  if (!Mixer) return;
  for (uint64_t left = owed / 1000; left > 0;) {
    const auto frames = static_cast<uint32_t>(std::min<uint64_t>(left, kMixPiece));
    Mixer->Mix(MixBuffer.data(), frames);
    left -= frames;
  }
}

const int16_t* TWebHost::MixForPage(uint32_t frames) {
  frames = std::min(frames, kMixPiece);
  // A stepped clock mixes its own sound; the page then only counts.
  if (Mixer && !Stepped())
    Mixer->Mix(MixBuffer.data(), frames);
  else
    std::fill_n(MixBuffer.data(), frames * kMixChannels, int16_t{0});
  FramesMixedForPage += frames;
  return MixBuffer.data();
}

std::unique_ptr<THostTimer> TWebHost::StartTimer(uint32_t intervalMs, std::function<void()> task) {
  return Timers->Start(TimeMs(), intervalMs, std::move(task));
}

std::unique_ptr<THost> CreateWebHost() { return std::make_unique<TWebHost>(); }

TWebHost* WebHost() { return dynamic_cast<TWebHost*>(&Host()); }

// What the page calls.
extern "C" {
EMSCRIPTEN_KEEPALIVE void veke_web_pointer(int kind, double x, double y, int buttons, int shift,
                                           int ctrl) {
  if (TWebHost* host = WebHost())
    host->Pointer(static_cast<TWebHost::TPointer>(std::clamp(kind, 0, 2)), x, y, buttons,
                  shift != 0, ctrl != 0);
}
// Escape: the play ends, as on the desktop.
EMSCRIPTEN_KEEPALIVE void veke_web_close() {
  if (TWebHost* host = WebHost()) host->Queue(THostEventType::Close);
}
// A page in a hidden tab is a minimised window: no frames, time stands still for effects.
EMSCRIPTEN_KEEPALIVE void veke_web_visible(int visible) {
  if (TWebHost* host = WebHost())
    host->Queue(visible ? THostEventType::Restored : THostEventType::Minimized);
}
EMSCRIPTEN_KEEPALIVE void veke_web_resize(int width, int height, double ratio) {
  if (TWebHost* host = WebHost()) host->Resize(width, height, ratio);
}
EMSCRIPTEN_KEEPALIVE void veke_web_audio_live(int live) {
  if (TWebHost* host = WebHost()) host->SetAudioLive(live != 0);
}
EMSCRIPTEN_KEEPALIVE const int16_t* veke_web_mix(int frames) {
  TWebHost* host = WebHost();
  return host ? host->MixForPage(static_cast<uint32_t>(std::max(frames, 0))) : nullptr;
}
EMSCRIPTEN_KEEPALIVE double veke_web_frames_mixed() {
  TWebHost* host = WebHost();
  return host ? static_cast<double>(host->FramesMixedForPage) : 0;
}
}
