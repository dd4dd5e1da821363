#pragma once
// The three message routines through which the script player reports to the user.
#include <string>

inline const std::string kMessageCaption = "Üzenet";

// Shows the message (caption "Üzenet") and ends the process with the exit code.
[[noreturn]] void FatalError(const std::string& message, int exitCode);
// The same with " Sor:" and the line number appended; exit code 1.
[[noreturn]] void FatalLineError(const std::string& message, int lineNumber);
// Shows the message and returns; play goes on.
void ShowWarning(const std::string& message);

// How a fatal message ends the process. The default exits; tests and the fuzzer install a
// handler that throws TFatalExit instead, so they can look at what would have ended it.
struct TFatalExit {
  int ExitCode;
  std::string Message;
};
using TExitHandler = void (*)(int exitCode, const std::string& message);
void SetExitHandler(TExitHandler handler);
[[noreturn]] void ThrowFatalExit(int exitCode, const std::string& message);
