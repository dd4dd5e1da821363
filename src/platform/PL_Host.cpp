#include "platform/PL_Host.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/PL_Timers.h"


namespace {
void ExitNow(int exitCode, const std::string&) { std::exit(exitCode); }
TExitHandler exitHandler = ExitNow;

// Never destroyed at exit: a lost X server makes Xlib call exit() from inside SDL, and a
// host that then closed its window through SDL would wait for that server for ever. The
// engine closes the display itself on every ordinary way out.
std::unique_ptr<THost>& CurrentHost() {
  static auto* host = new std::unique_ptr<THost>(std::make_unique<THeadlessHost>());
  return *host;
}
}  // namespace

void SetExitHandler(TExitHandler handler) { exitHandler = handler ? handler : ExitNow; }

void ThrowFatalExit(int exitCode, const std::string& message) {
  throw TFatalExit{exitCode, message};
}

void EndProcess(int exitCode, const std::string& message) {
  exitHandler(exitCode, message);
  std::exit(exitCode);  // a handler that returned must not let a dead program go on
}

THost& Host() { return *CurrentHost(); }

void InstallHost(std::unique_ptr<THost> host) { CurrentHost() = std::move(host); }

namespace {
struct TOrigin {
  std::string Script;
  int32_t Line = 0;
};
TOrigin& CurrentOrigin() {
  static TOrigin origin;
  return origin;
}
}  // namespace

TMessageOrigin::TMessageOrigin(const std::string& script, int32_t line)
    : SavedScript(std::move(CurrentOrigin().Script)), SavedLine(CurrentOrigin().Line) {
  CurrentOrigin() = TOrigin{script, line};
}

TMessageOrigin::~TMessageOrigin() { CurrentOrigin() = TOrigin{std::move(SavedScript), SavedLine}; }

std::string MessageOriginPrefix() {
  const TOrigin& origin = CurrentOrigin();
  if (origin.Script.empty()) return "";
  return origin.Script + ":" + std::to_string(origin.Line) + ": ";
}

void DebugOutput(const std::string& text) {
  std::fprintf(stderr, "%s%s\n", MessageOriginPrefix().c_str(), text.c_str());
  std::fflush(stderr);
}

namespace {
TMessageLog messageLog = nullptr;
// Past this many different messages in one play, new ones are boxed without being kept.
constexpr size_t kBoxedKept = 4096;
}  // namespace

void SetMessageLog(TMessageLog log) { messageLog = log; }

void RecordMessage(const std::string& caption, const std::string& text) {
  // The engine's boxes have no caption; its text then follows the line number directly.
  const std::string line = MessageOriginPrefix() + (caption.empty() ? "" : caption + ": ") + text;
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  if (messageLog) messageLog(line);
}

bool ParseKeyChord(std::string_view text, TKeyChord& chord, std::string& error) {
  chord = {};
  std::string rest(text);
  std::transform(rest.begin(), rest.end(), rest.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // The key itself may be '+': only a plus with something after it ends a modifier.
  for (size_t plus; (plus = rest.find('+', 1)) != std::string::npos;) {
    if (plus + 1 == rest.size()) return error = "no key after the modifiers", false;
    const std::string modifier = rest.substr(0, plus);
    rest.erase(0, plus + 1);
    if (modifier == "ctrl" || modifier == "control")
      chord.Ctrl = true;
    else if (modifier == "alt")
      chord.Alt = true;
    else if (modifier == "shift")
      chord.Shift = true;
    else
      return error = "unknown modifier " + modifier + " (known: ctrl, alt, shift)", false;
  }
  if (rest.empty()) return error = "no key after the modifiers", false;
  chord.Key = rest;
  return true;
}

bool THost::FirstOfPlay(const std::string& caption, const std::string& text) {
  if (BoxedInPlay.size() >= kBoxedKept) return true;
  return BoxedInPlay.insert(MessageOriginPrefix() + caption + '\n' + text).second;
}

namespace {
// Stereo frames mixed at a time: a step of up to 185 ms in one piece.
constexpr uint32_t kMixPiece = 8192;
}  // namespace

THeadlessHost::THeadlessHost()
    : MixBuffer(kMixPiece * kMixChannels), Timers(std::make_unique<TVirtualTimers>()) {}

THeadlessHost::~THeadlessHost() = default;

void THeadlessHost::ShowMessage(const std::string& caption, const std::string& text) {
  if (!Quiet) RecordMessage(caption, text);
  if (FirstOfPlay(caption, text)) ++Boxes;
  // Dropping the older half at once keeps the cost per message constant.
  if (Messages.size() >= 2 * kMessageTail) {
    const size_t dropped = Messages.size() - kMessageTail;
    Messages.erase(Messages.begin(), Messages.begin() + static_cast<std::ptrdiff_t>(dropped));
    DroppedMessages += dropped;
  }
  Messages.push_back(caption + ": " + text);
}

bool THeadlessHost::StartProgram(const std::vector<std::string>& arguments, std::string& error) {
  std::string joined;
  for (const std::string& word : arguments) joined += (joined.empty() ? "" : " ") + word;
  Started.push_back(joined);
  if (arguments.empty()) error = "empty command line";
  return !arguments.empty();
}

bool THeadlessHost::OpenDocument(const std::string& target, std::string& error) {
  Started.push_back("xdg-open " + target);
  if (target.empty()) error = "nothing to open";
  return !target.empty();
}

bool THeadlessHost::OpenDisplay(const TDisplayRequest& request, std::string& error) {
  if (request.Width <= 0 || request.Height <= 0) {
    error = "invalid display size";
    return false;
  }
  Display = request;
  return true;
}

void THeadlessHost::Schedule(uint32_t atMs, THostEventType type, int32_t x, int32_t y,
                             bool left) {
  TScriptedEvent scripted;
  scripted.AtMs = atMs;
  scripted.Event.Type = type;
  scripted.Event.X = x;
  scripted.Event.Y = y;
  scripted.Event.Left = left;
  Input.push_back(scripted);
}

bool THeadlessHost::PollEvent(THostEvent& event) {
  if (NextInput < Input.size() && Input[NextInput].AtMs <= PlayedMs()) {
    event = Input[NextInput++].Event;
    return true;
  }
  if (PlayedMs() > PlayMs && !CloseSent) {
    CloseSent = true;
    event = THostEvent{};
    return true;
  }
  return false;
}

void THeadlessHost::Present(TPlatformSurface& frame, bool, const TFrameChanges& changes) {
  ++FramesPresented;
  if (CheckChanges) {
    const size_t bytes = static_cast<size_t>(frame.Pitch()) * frame.Height();
    if (FromChanges.size() != bytes) FromChanges.assign(bytes, 0);
    const int32_t pixelBytes = BytesPerPixelOf(frame.Format());
    for (const TRect& rect : changes.List())
      for (int64_t y = rect.Top; y < rect.Bottom; ++y) {
        const int64_t at = y * frame.Pitch() + int64_t{rect.Left} * pixelBytes;
        std::memcpy(FromChanges.data() + at, frame.Pixels() + at,
                    static_cast<size_t>(rect.Width()) * pixelBytes);
      }
    const size_t rowBytes = static_cast<size_t>(frame.Width()) * pixelBytes;
    bool same = true;
    for (int64_t y = 0; y < frame.Height() && same; ++y)
      same = std::memcmp(FromChanges.data() + y * frame.Pitch(), frame.Pixels() + y * frame.Pitch(),
                         rowBytes) == 0;
    if (!same) {
      // Counted once: the next frame is checked against what this one really showed.
      ++FramesChangedUnseen;
      FromChanges.assign(frame.Pixels(), frame.Pixels() + bytes);
    }
  }
  if (OnFrame) OnFrame(frame, PlayedMs());
  PassStep();
}

bool THeadlessHost::OpenAudio(TAudioSource& mixer, std::string&) {
  Mixer = &mixer;
  return true;
}

// The sound of the step is mixed before the clock moves past it.
void THeadlessHost::PassStep() {
  const uint64_t owed = MixRemainder + uint64_t{kMixRate} * StepMs;
  MixRemainder = static_cast<uint32_t>(owed % 1000);
  if (Mixer || OnAudio) {
    for (uint64_t left = owed / 1000; left > 0;) {
      const uint32_t frames = static_cast<uint32_t>(std::min<uint64_t>(left, kMixPiece));
      if (Mixer) {
        Mixer->Mix(MixBuffer.data(), frames);
      } else {
        std::fill_n(MixBuffer.data(), frames * kMixChannels, int16_t{0});
      }
      if (OnAudio) OnAudio(MixBuffer.data(), frames);
      left -= frames;
    }
  }
  VirtualTime += StepMs;
}

std::unique_ptr<THostTimer> THeadlessHost::StartTimer(uint32_t intervalMs,
                                                      std::function<void()> task) {
  return Timers->Start(VirtualTime, intervalMs, std::move(task));
}

void THeadlessHost::RunTasks() { Timers->RunTasks(VirtualTime); }
