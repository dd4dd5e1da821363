#pragma once
// File names as Windows presentations write them: backslashes, any letter case, relative to
// the script's folder or else to the current folder.
#include <string>
#include <string_view>

// The folder that relative names are tried against before the current folder.
void SetScriptFolder(const std::string& folder);
const std::string& ScriptFolder();

// Finds an existing file or folder for a UTF-8 name: backslashes become slashes, and each
// component that does not exist as written is matched without regard to letter case. A
// relative name is looked for beside the script first, then in the current folder.
// Returns the name with slashes when nothing matches, so messages can show it.
std::string ResolvePath(std::string_view name);

// The same for a name in code page 1250, as scripts hold them.
std::string ResolveScriptPath(std::string_view cp1250Name);

// True for an existing regular file (not a folder).
bool IsRegularFile(const std::string& path);

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
