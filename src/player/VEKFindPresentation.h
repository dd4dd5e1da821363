#pragma once
// What the user gave the player may be the script itself, or what holds a presentation: a
// folder, a mounted disc, a disc image or a zip archive. Then the script and the switches the
// disc started it with are found the way the disc's own AUTORUN.INF says, else by looking.
#include <cstdint>
#include <string>
#include <vector>

struct TFoundPresentation {
  std::string Kind;   // "script", "folder", or the container's kind ("ISO 9660 image", ...)
  std::string Root;   // the folder or mount point that holds the presentation
  std::string Label;  // the disc's volume label
  std::string Script;  // the script's path, to be opened; "" when none was found
  std::string ScriptName;  // the script's name inside Root, with "/" ("SHOW/MAIN.VEK")
  std::vector<std::string> Switches;  // display switches AUTORUN.INF starts it with
  std::string FoundBy;  // how the script was found, for --list
  std::vector<std::string> LeftOut;  // names of the image or archive that could not be taken
  std::string Error;    // why no script can be played; then ExitCode tells how bad
  int ExitCode = 0;
};

// Finds the presentation in `given`. A script (or a name that does not exist) is returned as
// it is, for the player to open or complain about. `chosen` is --script's name, "" for none.
TFoundPresentation FindPresentation(const std::string& given, const std::string& chosen);

// The names left out of the image or archive, one line each, to be told once as it mounts.
std::string DescribeLeftOut(const std::string& given, const TFoundPresentation& found);

// The lines `veke --list` prints: where, what, the volume label, the number of files and their
// bytes, the script, the switches and how it was found.
std::string DescribePresentation(const std::string& given, const TFoundPresentation& found);
