#include "platform/PL_Host.h"

#include <cstdio>
#include <cstdlib>

#include "platform/PL_Process.h"

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

void DebugOutput(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

void WriteMessageToStderr(const std::string& caption, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

void THeadlessHost::ShowMessage(const std::string& caption, const std::string& text) {
  if (!Quiet) WriteMessageToStderr(caption, text);
  Messages.push_back(caption + ": " + text);
}

bool THeadlessHost::StartProgram(const std::string& commandLine) {
  Started.push_back(commandLine);
  return !SplitCommandLine(commandLine).empty();
}

bool THeadlessHost::OpenDocument(const std::string& target) {
  Started.push_back("xdg-open " + target);
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
