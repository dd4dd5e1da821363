#include "player/VEKHostOptions.h"

#include <cstdlib>
#include <filesystem>

#include "base/SE_MemoryBudget.h"
#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"

const char* const kTreeOptionsHelp =
    "  --drive L=FOLDER  names on drive L: (D:\\VIDEO\\INTRO.AVI) are looked up in FOLDER;\n"
    "                    repeatable. Unmapped drives and names rooted with \\ are looked up\n"
    "                    in the script's folder, then in each folder above it up to the\n"
    "                    presentation's root\n"
    "  --root FOLDER     the presentation's root: its names may reach only files inside\n"
    "                    FOLDER (and mapped drives). By default the nearest folder at or\n"
    "                    above the script that holds an AUTORUN.INF, else the folder just\n"
    "                    above the script's\n"
    "  --allow-outside   let the presentation's names reach any file\n"
    "  --allow-execute   let EXECUTE start programs (without it the presentation only\n"
    "                    says what it wanted to run)\n";
const char* const kMemoryOptionHelp =
    "  --memory-limit SIZE\n"
    "                    the memory decoded pictures and video frames may take together, as\n"
    "                    512M or 2G (K, M, G, T: powers of 1024); by default a quarter of the\n"
    "                    machine's memory. A picture or clip past it fails to load\n";
const char* const kScreenOptionsHelp =
    "  --display N       the screen to play on, 0 being the first; by default the one the\n"
    "                    window opens on\n"
    "  --scale MODE      how the picture fills a larger window or screen: sharp (nearest\n"
    "                    pixel, the default; keeps bitmap fonts crisp), smooth (filtered) or\n"
    "                    integer (the largest whole multiple, with black bands)\n";

bool MapDriveOption(const std::string& text, std::string& error) {
  const size_t equals = text.find('=');
  const std::string folder = equals == std::string::npos ? "" : ExpandHome(text.substr(equals + 1));
  const char letter = static_cast<char>(text.empty() ? 0 : text[0] | 0x20);
  if (!(equals == 1 || (equals == 2 && text[1] == ':')) || letter < 'a' || letter > 'z' ||
      folder.empty()) {
    error = "bad --drive (wanted LETTER=FOLDER, as D=/media/cd): " + text;
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    error = "--drive " + text + ": " + folder + " is not a folder";
    return false;
  }
  return MapDrive(letter, std::filesystem::absolute(folder, ec).string());
}

bool MemoryLimitOption(const std::string& text, std::string& error) {
  uint64_t bytes = 0;
  if (!ParseMemorySize(text, bytes)) {
    error = "bad --memory-limit (wanted a size, as 512M or 2G): " + text;
    return false;
  }
  SetMemoryLimit(bytes);
  return true;
}

namespace {
bool ApplyScreenOption(const std::string& name, const std::string& value, TScreenChoice& screen,
                       std::string& error) {
  if (name == "--scale") {
    if (ParseScaling(value, screen.Scaling)) return true;
    error = "bad --scale (wanted smooth, sharp or integer): " + value;
    return false;
  }
  char* end = nullptr;
  const long number = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end || number < 0 || number > 255) {
    error = "bad --display (wanted a screen number, 0 being the first): " + value;
    return false;
  }
  screen.Display = static_cast<int32_t>(number);
  return true;
}

bool SetRootFolderOption(const std::string& given, std::string& error) {
  const std::string folder = ExpandHome(given);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    error = "--root " + folder + ": not a folder";
    return false;
  }
  SetRootOption(std::filesystem::absolute(folder, ec).string());
  return true;
}
}  // namespace

bool TakeHostOptions(std::vector<std::string>& arguments, std::string& error) {
  TScreenChoice screen;
  bool screenGiven = false;
  std::vector<std::string> rest;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--allow-outside") {
      SetAllowOutside(true);
      continue;
    }
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, word.starts_with("--") ? equals : 0);
    if (name != "--drive" && name != "--display" && name != "--scale" &&
        name != "--memory-limit" && name != "--root") {
      rest.push_back(word);
      continue;
    }
    if (equals == std::string::npos && i + 1 >= arguments.size()) {
      error = name + " needs a value";
      return false;
    }
    const std::string value =
        equals == std::string::npos ? arguments[++i] : word.substr(equals + 1);
    if (name == "--drive" || name == "--root" || name == "--memory-limit") {
      const bool taken = name == "--drive"  ? MapDriveOption(value, error)
                         : name == "--root" ? SetRootFolderOption(value, error)
                                            : MemoryLimitOption(value, error);
      if (!taken)
        return false;
      continue;
    }
    if (!ApplyScreenOption(name, value, screen, error)) return false;
    screenGiven = true;
  }
  if (screenGiven) Host().ChooseScreen(screen);
  arguments = std::move(rest);
  return true;
}
