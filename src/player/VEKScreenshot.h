#pragma once
// Where F12 puts a screenshot of the presentation.
#include <ctime>
#include <string>

// The desktop's pictures folder: $XDG_PICTURES_DIR, else the one the user's
// user-dirs.dirs names (what `xdg-user-dir PICTURES` answers), else ~/Pictures; the first of
// them that is a folder. Else the script's folder, or for a script inside a disc image or
// archive the current folder.
std::string ScreenshotFolder(const std::string& scriptPath);
// "FOLDER/veke-YYYYMMDD-HHMMSS.png" of the local `time`, with "-2", "-3", ... before ".png"
// while that name is taken.
std::string ScreenshotName(const std::string& folder, std::time_t time);
