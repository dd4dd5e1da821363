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

// Words of the sheet as a message may show them: control characters would act on a terminal.
std::string Shown(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }, '?');
  return text;
}

// The file `name` in `folder` in any letter case; "" when there is none.
std::string FindInFolder(const fs::path& folder, const std::string& name) {
  std::vector<std::string> names;
  if (!ListFolder(folder.empty() ? "." : folder.string(), names)) return "";
  for (const std::string& candidate : names)
    if (SameLetters(candidate, name) &&
        FileInfoOf((folder / candidate).string()).Kind == TFileKind::Regular)
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

bool ReadCueSheet(const std::string& cuePath, std::string& binPath, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(cuePath, bytes, error, 1 << 20)) {
    error = "cannot read the cue sheet: " + error;
    return false;
  }
  std::istringstream sheet(std::string(bytes.begin(), bytes.end()));
  std::string text, file;
  while (std::getline(sheet, text)) {
    std::istringstream line(text);
    std::string keyword;
    line >> keyword;
    keyword = Upper(keyword);
    if (keyword.starts_with("\xEF\xBB\xBF")) keyword.erase(0, 3);
    if (keyword == "FILE") file = FileName(line);
    if (keyword != "TRACK") continue;
    std::string number, mode;
    line >> number >> mode;
    mode = Upper(mode);
    if (!mode.starts_with("MODE1/") && !mode.starts_with("MODE2/")) {
      error = "the disc's first track is " + (mode.empty() ? "of no type" : Shown(mode)) +
              ", not a data track with files";
      return false;
    }
    if (file.empty()) break;
    binPath = FindTrackFile(fs::path(cuePath).parent_path(), file);
    if (binPath.empty())
      error = "the file " + Shown(file) + " that the cue sheet names is not beside it";
    return !binPath.empty();
  }
  error = "the cue sheet names no track with its file";
  return false;
}

std::string CueSheetBeside(const std::string& binPath) {
  const fs::path bin(binPath);
  return FindInFolder(bin.parent_path(), bin.stem().string() + ".cue");
}
