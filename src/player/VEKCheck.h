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

// The sections of a script and the ways between them, as the checker sees them: for a map.
enum class TLinkKind { Call, Jump, Return, Button };
struct TSectionLink {
  size_t From = 0, To = 0;  // places in TScriptOutline::Sections
  TLinkKind Kind = TLinkKind::Call;
  std::string Label;  // UTF-8: the button's name, "RETURN" or the returning buttons' names
};
struct TSectionOutline {
  std::string Name;  // UTF-8; the main section comes first
  int32_t Line = 0;  // of its header; 0 for the main section
  bool Reached = false;
};
struct TScriptOutline {
  std::vector<TSectionOutline> Sections;
  std::vector<TSectionLink> Links;  // each way once, in the order of the script
  std::vector<TFinding> Findings;   // as CheckScript gives them
  // The files the script names, as it writes them (code page 1250), each once, in the order
  // they are named: what a presentation needs beside its script (a web page fetches them).
  std::vector<std::string> Files;
};
// Throws, as CheckScript does, when the file cannot be read.
TScriptOutline OutlineScript(const std::string& path);

// `--check SCRIPT...`: prints "SCRIPT:LINE: MESSAGE" on stdout for every finding, and
// "SCRIPT:LINE: warning: MESSAGE" for a warning unless `--no-warnings` is among the scripts.
// Returns 0 when every script has nothing but warnings, 1 when one has more (or cannot be
// read), 2 without a script.
int RunScriptCheck(std::vector<std::string> scripts, const std::string& programName);
