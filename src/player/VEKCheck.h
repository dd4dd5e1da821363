#pragma once
// Checking a script without playing it, for authors: the mistakes at which the player would
// stop, and those it passes over in silence or meets only when a line runs or a button is
// clicked (unknown words, missing objects and sections, missing or broken files, letters a
// face cannot draw). Nothing is shown or played.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/VEKCheckFindings.h"

// The findings of a script file in line order; none when it is clean. Relative names are
// taken from the script's folder, as when it plays. Throws when the file cannot be read.
std::vector<TFinding> CheckScript(const std::string& path);
// The same for script bytes, with the script folder already set.
std::vector<TFinding> CheckScriptText(std::string_view bytes);

// `--check SCRIPT...`: prints "SCRIPT:LINE: MESSAGE" on stdout for every finding, and
// "SCRIPT:LINE: warning: MESSAGE" for a warning unless `--no-warnings` is among the scripts.
// Returns 0 when every script has nothing but warnings, 1 when one has more (or cannot be
// read), 2 without a script.
int RunScriptCheck(std::vector<std::string> scripts, const std::string& programName);
