#pragma once
// Cue sheets of BIN/CUE disc images: which file holds the data track. Only the first track
// matters, because a disc with files has them in its first track; audio tracks may follow
// (mixed mode).
#include <string>

// Reads the cue sheet at `cuePath` (a file on disk) and finds the file of its first track
// beside it. False, with the reason, when the sheet cannot be read, names no track, starts
// with an audio track, or names a file that is not there.
bool ReadCueSheet(const std::string& cuePath, std::string& binPath, std::string& error);

// The cue sheet beside a .bin file: the same name with ".cue" in any letter case; "" if none.
std::string CueSheetBeside(const std::string& binPath);
