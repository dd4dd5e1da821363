#pragma once
#include <string>
#include <vector>

// The program's main block, shared by `veke` and `veke-render` once each has installed its
// host: the usage box, the date and time conventions, and one script played to its end.
// `arguments` are the command-line words after the program name. Returns the exit code.
int PlayerMain(const std::vector<std::string>& arguments, const std::string& programName);
