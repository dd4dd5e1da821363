#include "player/VEKMessages.h"

void FatalError(const std::string& message, int exitCode) {
  Host().ShowMessage(kMessageCaption, message);
  EndProcess(exitCode, message);
}

void FatalLineError(const std::string& message, int lineNumber) {
  FatalError(message + " Sor:" + std::to_string(lineNumber), 1);
}

void ShowWarning(const std::string& message) { Host().ShowMessage(kMessageCaption, message); }
