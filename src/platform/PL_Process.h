#pragma once
#include <string>
#include <vector>

// Splits a command line into words at blanks; double quotes group blanks into a word and are
// removed (Windows command lines are written this way).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// The executable a program word names: a name with a slash as it is, else the first match on
// PATH. "" when there is no such executable file.
std::string FindProgram(const std::string& name);

// Starts the program without a shell and without waiting; the child is reaped in the
// background so no zombie stays. False, with the reason in `error`, when it could not start.
bool SpawnDetached(const std::vector<std::string>& words, std::string* error = nullptr);

// Full path of the running executable ("" when unknown).
std::string SelfExecutablePath();

// How a program that was waited for went.
struct TProgramRun {
  bool Started = false;
  bool TimedOut = false;  // still running at the time limit, so it was killed
  int ExitCode = -1;      // its exit status; -1 when it did not exit by itself
  std::string Error;      // why it did not start
};
// Runs the program without a shell, reading nothing and writing its output and errors into
// `outputFile`, and waits for it at most `limitMs` milliseconds.
TProgramRun RunProgram(const std::vector<std::string>& words, const std::string& outputFile,
                       uint32_t limitMs);
