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
