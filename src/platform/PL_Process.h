#pragma once
#include <string>
#include <vector>

// Splits a command line into words at blanks; double quotes group blanks into a word and are
// removed (Windows command lines are written this way).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Starts the program without a shell and without waiting; the child is reaped in the
// background so no zombie stays. False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& words);

// Full path of the running executable ("" when unknown).
std::string SelfExecutablePath();
