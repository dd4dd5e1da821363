#pragma once
#include <string>
#include <vector>

#include "player/VEKEngine.h"

// The program's main block, shared by `veke` and `veke-render` once each has installed its
// host: the usage box, the date and time conventions, and one script played to its end.
// `arguments` are the command-line words after the program name, the options that fit the
// presentation to this machine among them (VEKHostOptions.h). Returns the exit code.
int PlayerMain(std::vector<std::string> arguments, const std::string& programName);

// What PlayerMain settles before a play: the script and how it starts, or the exit code of a
// run that has already done its work (help, --list, --check, a mistake on the line).
struct TPlayRequest {
  std::string Script;
  TStartOptions Start;
  int ExitCode = 0;
  std::string Error;  // why there is nothing to play, as stderr was told; "" when it was not
};
// PlayerMain up to the play: the options taken, the presentation found, the formats and the
// log set up. False, with request.ExitCode, when there is nothing to play.
bool PreparePlay(std::vector<std::string> arguments, const std::string& programName,
                 TPlayRequest& request);
