#include "player/VEKMessages.h"

#include <cstdlib>

#include "platform/PL_Host.h"

namespace {
void ExitProcess(int exitCode, const std::string&) { std::exit(exitCode); }
TExitHandler exitHandler = ExitProcess;
}  // namespace

void SetExitHandler(TExitHandler handler) { exitHandler = handler ? handler : ExitProcess; }

void ThrowFatalExit(int exitCode, const std::string& message) {
  throw TFatalExit{exitCode, message};
}

void FatalError(const std::string& message, int exitCode) {
  Host().ShowMessage(kMessageCaption, message);
  exitHandler(exitCode, message);
  std::exit(exitCode);  // a handler that returned does not keep a dead script alive
}

void FatalLineError(const std::string& message, int lineNumber) {
  FatalError(message + " Sor:" + std::to_string(lineNumber), 1);
}

void ShowWarning(const std::string& message) { Host().ShowMessage(kMessageCaption, message); }
