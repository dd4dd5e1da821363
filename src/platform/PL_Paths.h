#pragma once
// File names as Windows presentations write them: backslashes, any letter case, relative to
// the script's folder or else to the current folder, or rooted on the disc they came from
// ("\PICS\A.BMP", "D:\VIDEO\INTRO.AVI").
#include <functional>
#include <string>
#include <string_view>

// The folder that relative names are tried against before the current folder.
void SetScriptFolder(const std::string& folder);
const std::string& ScriptFolder();

// Drive letters the user has tied to folders (`--drive D=/media/cd`); `letter` in either case.
// An empty folder unties the letter. False for anything but a letter A to Z.
bool MapDrive(char letter, const std::string& folder);
void ClearDriveMap();

// The presentation's tree: the folder its names may reach. Set by --root; "" for none.
void SetRootOption(const std::string& folder);
// The same for a folder the player was given to find the presentation in, unless --root
// said otherwise.
void SetRootUnlessGiven(const std::string& folder);
// --allow-outside: names may leave the tree.
void SetAllowOutside(bool allow);
// The root of the presentation that plays from the script folder: the --root folder, else
// the mapped drive folder that holds the script, else the nearest folder at or above the
// script that holds an AUTORUN.INF (any letter case), else the folder just above the script's
// own. "" while no script folder is set.
std::string PresentationRoot();
// Where refusals are told; the default writes them to stderr. `report` gets the whole text.
using TRefusalReport = void (*)(const std::string& message);
void SetRefusalReport(TRefusalReport report);

// Finds an existing file or folder for a UTF-8 name of the presentation: backslashes become
// slashes, and each component that does not exist as written is matched without regard to
// letter case.
// - A relative name is looked for beside the script first, then in the current folder.
// - A name with a drive letter looks in the folder mapped to that letter; without a mapping,
//   and for a name that starts with a slash or backslash, in the script's folder, then each of
//   its parents in turn up to the presentation's root. A name that exists as written on this
//   machine (an absolute path) is taken as it is.
// While a script folder is set, what is found must lie in the presentation's root, in a
// mapped drive folder or among the player's own data files (FindDataFile), links followed;
// anything else is refused unless outside names are allowed: the refusal is reported (naming
// the root and how to widen it) and "" returned. The current folder, a fallback of the
// player's own when it is not the script's, is passed over without a word ("" too).
// Returns the name with slashes when nothing matches, so messages can show it.
std::string ResolvePath(std::string_view name);

// Told of every name ResolvePath looks up: the file found, or for a name found nowhere the
// place beside the script where it would be found first. Live reload watches these; none by
// default.
using TNameListener = std::function<void(const std::string& path)>;
void SetNameListener(TNameListener listener);

// The same for a name in code page 1250, as scripts hold them.
std::string ResolveScriptPath(std::string_view cp1250Name);

// The same for a name the user gave (the script on the command line, the program's own data
// files): never refused.
std::string ResolveGivenPath(std::string_view name);

// True for an existing regular file (not a folder).
bool IsRegularFile(const std::string& path);
// What an existing file that is neither a regular file nor a folder is: "FIFO", "character
// device", "block device" or "socket"; "" for anything else (missing ones too).
std::string SpecialFileKind(const std::string& path);

// A folder the user typed, with a leading "~" or "~/" made the home folder and "~NAME" that
// user's home, as a shell would have done had it not been quoted; anything else as it is.
std::string ExpandHome(const std::string& path);

// Folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);

// The data folder of the installed tree that `executable` belongs to: <its folder>/<the path
// from the program folder to the data folder>, as the tree was laid out at install time, so
// a tree moved or unpacked elsewhere still finds its own data. "" when there is no such folder.
std::string InstalledDataFolder(const std::string& executable);

// Finds one of the program's own data files by its relative name ("Res/Fonts16bit.ger", any
// letter case): in the installed tree the program runs from, else beside the program; then in
// the data folder it was built for; last, for a program inside the build folder (tests and
// tools in its subfolders), in the build folder. "" when none of them holds it.
std::string FindDataFile(std::string_view name, const std::string& executable);
