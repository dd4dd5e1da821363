#pragma once
// The log file beside the program, and the process-wide date and time formats it uses.
#include <ctime>
#include <string>

// Date and time conventions; the program entry sets the Hungarian ones at start.
struct TFormatSettings {
  char DateSeparator = '/';
  std::string ShortDateFormat = "m/d/yyyy";
  char TimeSeparator = ':';
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::string ShortTimeFormat = "h:mm";
  std::string LongTimeFormat = "h:mm:ss";
};
extern TFormatSettings FormatSettings;

// Formats a broken-down time with a pattern of the tokens yyyy, yy, m, mm, d, dd, h, hh,
// n, nn, s, ss ("m"/"mm" directly after an hour means minutes), "/" (the date separator) and
// ":" (the time separator); other characters are copied.
std::string FormatDateTime(const std::string& pattern, const std::tm& when);

// The log file: the executable's path with its extension replaced by ".log"; when its folder
// cannot be written, or the program runs from an installed tree, ~/.local/state/veke/<name>.log.
std::string LogFilePath();
std::string LogFilePath(const std::string& executable);

// Appends "DATE TIME MESSAGE" and a line end, opening and closing the file each time.
void WriteLog(const std::string& message);
