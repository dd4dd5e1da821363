#include "platform/PL_Host.h"

#include <cstdio>
#include <cstdlib>
#include <utility>


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

void WriteMessageToStderr(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s%s: %s\n", MessageOriginPrefix().c_str(), caption.c_str(),
               text.c_str());
  std::fflush(stderr);
}

void THeadlessHost::ShowMessage(const std::string& caption, const std::string& text) {
  if (!Quiet) WriteMessageToStderr(caption, text);
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

void THeadlessHost::Present(TPlatformSurface& frame, bool) {
  ++FramesPresented;
  if (OnFrame) OnFrame(frame, PlayedMs());
  VirtualTime += StepMs;
}
