#include "base/SE_Log.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/PL_Host.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Process.h"

namespace fs = std::filesystem;

TFormatSettings FormatSettings;

namespace {
// Counts how many times the character at pattern[i] repeats.
size_t RunLength(const std::string& pattern, size_t i) {
  size_t n = 1;
  while (i + n < pattern.size() && std::tolower(pattern[i + n]) == std::tolower(pattern[i])) ++n;
  return n;
}

std::string Number(int value, size_t width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", static_cast<int>(width), value);
  return buffer;
}

std::string FallbackLogPath(const std::string& fileName) {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return "";
  fs::path folder = fs::path(home) / ".local" / "state" / "veke";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return ec ? "" : (folder / fileName).string();
}
}  // namespace

std::string FormatDateTime(const std::string& pattern, const std::tm& when) {
  std::string out;
  bool afterHour = false;
  for (size_t i = 0; i < pattern.size();) {
    char c = static_cast<char>(std::tolower(pattern[i]));
    size_t n = RunLength(pattern, i);
    if (c == 'y') {
      out += n <= 2 ? Number(when.tm_year % 100, 2) : Number(when.tm_year + 1900, 4);
    } else if (c == 'm') {
      int value = afterHour ? when.tm_min : when.tm_mon + 1;
      out += Number(value, n >= 2 ? 2 : 1);
      afterHour = false;
    } else if (c == 'd') {
      out += Number(when.tm_mday, n >= 2 ? 2 : 1);
    } else if (c == 'h') {
      out += Number(when.tm_hour, n >= 2 ? 2 : 1);
      afterHour = true;
    } else if (c == 'n') {
      out += Number(when.tm_min, n >= 2 ? 2 : 1);
    } else if (c == 's') {
      out += Number(when.tm_sec, n >= 2 ? 2 : 1);
    } else {
      n = 1;
      if (c == '/') out += FormatSettings.DateSeparator;
      else if (c == ':') out += FormatSettings.TimeSeparator;
      else out += pattern[i];
    }
    i += n;
  }
  return out;
}

std::string LogFilePath() { return LogFilePath(SelfExecutablePath()); }

std::string LogFilePath(const std::string& executable) {
  fs::path path = fs::path(executable.empty() ? "veke" : executable).replace_extension(".log");
  fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  // An installed program's folder is shared by everything installed there, and a package
  // manager would leave a log in it behind when the program is removed.
  const bool installed = !InstalledDataFolder(executable).empty();
  if (!installed && access(folder.c_str(), W_OK) == 0) return path.string();
  std::string fallback = FallbackLogPath(path.filename().string());
  return fallback.empty() ? path.string() : fallback;
}

void WriteLog(const std::string& message) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string line = FormatDateTime(FormatSettings.ShortDateFormat, local) + " " +
                     FormatDateTime(FormatSettings.LongTimeFormat, local) + " " + message + "\n";
  std::string path = LogFilePath();
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) {
    // A log that cannot be written must not end the presentation; say so and go on.
    DebugOutput("log file " + path + " cannot be written: " + message);
    return;
  }
  std::fwrite(line.data(), 1, line.size(), file);
  std::fclose(file);
}
