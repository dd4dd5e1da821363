#pragma once
#include <string>
#include <vector>

// The program's main block, shared by `veke` and `veke-render` once each has installed its
// host: the usage box, the date and time conventions, and one script played to its end.
// `arguments` are the command-line words after the program name, the options that fit the
// presentation to this machine among them (VEKHostOptions.h). Returns the exit code.
int PlayerMain(std::vector<std::string> arguments, const std::string& programName);
