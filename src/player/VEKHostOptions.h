#pragma once
// Command-line options that fit a presentation to the machine it plays on: the drive letters
// of the disc it came from, the tree it may reach, the screen, the scaling and the memory it
// may take.
#include <string>
#include <vector>

// "D=/media/cd": names on drive D: are looked up in that folder. False, with the reason, for
// anything but a letter, "=" and an existing folder.
bool MapDriveOption(const std::string& text, std::string& error);

// "512M": the memory budget of decoded pictures and video frames. False, with the reason, for
// anything but a size.
bool MemoryLimitOption(const std::string& text, std::string& error);

// Takes --drive L=FOLDER (repeatable), --root FOLDER, --allow-outside, --display N, --scale
// smooth|sharp|integer and --memory-limit SIZE (also written --name=value) out of `arguments`
// wherever they stand, and hands them to the path resolver and the host; the other words stay
// in their order. False, with the reason, for a bad or missing value.
bool TakeHostOptions(std::vector<std::string>& arguments, std::string& error);

// Their lines in the programs' help texts; the tree's lines also tell of --allow-execute.
extern const char* const kTreeOptionsHelp;
extern const char* const kMemoryOptionHelp;
extern const char* const kScreenOptionsHelp;
