#include "platform/PL_CueSheet.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/PL_Files.h"

namespace fs = std::filesystem;

namespace {

bool SameLetters(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The file `name` in `folder` in any letter case; "" when there is none.
std::string FindInFolder(const fs::path& folder, const std::string& name) {
  std::vector<std::string> names;
  if (!ListFolder(folder.empty() ? "." : folder.string(), names)) return "";
  for (const std::string& candidate : names)
    if (SameLetters(candidate, name) && FileInfoOf((folder / candidate).string()).Kind ==
                                            TFileKind::Regular)
      return (folder / candidate).string();
  return "";
}

// The file a FILE line names: as written relative to the cue sheet, else its last component
// beside the sheet in any letter case (sheets made on another machine name their own folder
// as it was there, often with backslashes and a drive).
std::string FindTrackFile(const fs::path& folder, std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  const fs::path written = folder / name;
  if (FileInfoOf(written.string()).Kind == TFileKind::Regular) return written.string();
  return FindInFolder(folder, fs::path(name).filename().string());
}

// "mm:ss:ff" in frames of 1/75 second; false when it is no such time.
bool ParseTime(const std::string& text, uint64_t& frames) {
  unsigned minutes = 0, seconds = 0, rest = 0;
  char colon1 = 0, colon2 = 0;
  std::istringstream in(text);
  if (!(in >> minutes >> colon1 >> seconds >> colon2 >> rest) || colon1 != ':' || colon2 != ':' ||
      seconds >= 60 || rest >= 75)
    return false;
  frames = (uint64_t{minutes} * 60 + seconds) * 75 + rest;
  return true;
}

// The rest of a FILE line: a quoted name, or the first word.
std::string FileName(std::istringstream& line) {
  line >> std::ws;
  std::string name;
  if (line.peek() == '"') {
    line.get();
    std::getline(line, name, '"');
  } else {
    line >> name;
  }
  return name;
}

}  // namespace

bool ReadCueSheet(const std::string& cuePath, TCueDataTrack& track, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(cuePath, bytes, error, 1 << 20)) {
    error = "cannot read the cue sheet: " + error;
    return false;
  }
  const fs::path folder = fs::path(cuePath).parent_path();
  std::istringstream sheet(std::string(bytes.begin(), bytes.end()));
  std::string text, file, firstFile;
  int tracks = 0;
  bool haveStart = false;
  while (std::getline(sheet, text) && tracks < 3) {
    std::istringstream line(text);
    std::string keyword;
    line >> keyword;
    keyword = Upper(keyword);
    if (keyword.starts_with("\xEF\xBB\xBF")) keyword.erase(0, 3);
    if (keyword == "FILE") {
      file = FileName(line);
      if (tracks == 1) tracks = 2;  // the data track runs to the end of its file
    } else if (keyword == "TRACK") {
      std::string number, mode;
      line >> number >> mode;
      mode = Upper(mode);
      if (++tracks > 1) continue;
      firstFile = file;
      track.FrameSize = mode == "MODE1/2048"                            ? 2048
                        : mode == "MODE2/2336"                          ? 2336
                        : mode == "MODE1/2352" || mode == "MODE2/2352" ? 2352
                                                                        : 0;
      if (track.FrameSize == 0) {
        error = "the disc's first track is " + (mode.empty() ? "of no type" : mode) +
                ", not a data track with files";
        return false;
      }
    } else if (keyword == "INDEX" && tracks > 0) {
      std::string number, time;
      uint64_t frames = 0;
      line >> number >> time;
      if (!ParseTime(time, frames)) {
        error = "the cue sheet has a bad INDEX time: " + time;
        return false;
      }
      if (tracks == 1 && number == "01") {
        track.StartFrame = frames;
        haveStart = true;
      } else if (tracks == 2 && track.EndFrame == 0) {
        track.EndFrame = frames;  // the next track's first index, pregap included
      }
    }
  }
  if (tracks == 0 || !haveStart || firstFile.empty()) {
    error = "the cue sheet names no track with its file";
    return false;
  }
  if (track.EndFrame != 0 && track.EndFrame <= track.StartFrame) {
    error = "the cue sheet's tracks overlap";
    return false;
  }
  track.BinPath = FindTrackFile(folder, firstFile);
  if (track.BinPath.empty()) {
    error = "the file " + firstFile + " that the cue sheet names is not beside it";
    return false;
  }
  return true;
}

std::string CueSheetBeside(const std::string& binPath) {
  const fs::path bin(binPath);
  return FindInFolder(bin.parent_path(), bin.stem().string() + ".cue");
}
