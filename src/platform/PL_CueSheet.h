#pragma once
// Cue sheets of BIN/CUE disc images: where the disc's data track lies. Only the first track
// matters, because a disc with files has them in its first track; audio tracks may follow
// (mixed mode), in the same .bin or in files of their own.
#include <cstdint>
#include <string>

struct TCueDataTrack {
  std::string BinPath;     // the file that holds the track, found beside the cue sheet
  uint32_t FrameSize = 0;  // bytes of a sector in that file: 2352 (raw), 2336 or 2048
  uint64_t StartFrame = 0;  // where the track starts in the file
  uint64_t EndFrame = 0;    // where the next track of the same file starts; 0: the file's end
};

// Reads the cue sheet at `cuePath` (a file on disk). False, with the reason, when it cannot
// be read, names no track, starts with an audio track, or names a file that is not there.
bool ReadCueSheet(const std::string& cuePath, TCueDataTrack& track, std::string& error);

// The cue sheet beside a .bin file: the same name with ".cue" in any letter case; "" if none.
std::string CueSheetBeside(const std::string& binPath);
