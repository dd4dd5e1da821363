#include "platform/PL_Paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/PL_Files.h"
#include "platform/PL_FolderIndex.h"
#include "platform/PL_Host.h"
#include "platform/PL_Process.h"
#include "platform/PL_Text.h"

namespace fs = std::filesystem;

namespace {
std::string& ScriptFolderStorage() {
  static std::string folder;
  return folder;
}

std::array<std::string, 26>& DriveFolders() {
  static std::array<std::string, 26> folders;
  return folders;
}

// The drive of "D:..." (0 for A), or -1 for a name without one.
int DriveOf(std::string_view name) {
  if (name.size() < 2 || name[1] != ':') return -1;
  const char letter = static_cast<char>(name[0] & ~0x20);
  return letter >= 'A' && letter <= 'Z' ? letter - 'A' : -1;
}

// Lower-case fold of a UTF-8 name for the letters Windows file systems treat alike: ASCII,
// Latin-1 and the Central European letters of Latin Extended-A.
std::u32string Fold(std::string_view name) {
  std::u32string out;
  for (size_t i = 0; i < name.size();) {
    auto b = static_cast<uint8_t>(name[i]);
    uint32_t cp = b;
    size_t n = 1;
    if ((b & 0xE0) == 0xC0 && i + 1 < name.size()) {
      cp = ((b & 0x1F) << 6) | (static_cast<uint8_t>(name[i + 1]) & 0x3F);
      n = 2;
    } else if ((b & 0xF0) == 0xE0 && i + 2 < name.size()) {
      cp = ((b & 0x0F) << 12) | ((static_cast<uint8_t>(name[i + 1]) & 0x3F) << 6) |
           (static_cast<uint8_t>(name[i + 2]) & 0x3F);
      n = 3;
    }
    if (cp >= 'A' && cp <= 'Z') cp += 32;
    else if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) cp += 32;
    else if (((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) && cp % 2 == 0) cp += 1;
    else if (((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) && cp % 2 == 1) cp += 1;
    out += static_cast<char32_t>(cp);
    i += n;
  }
  return out;
}

bool Exists(const fs::path& p) { return FileInfoOf(p.string()).Kind != TFileKind::Missing; }

// Walks the components, taking each as written when it exists, else the first entry of the
// folder that equals it without regard to case.
bool MatchIgnoringCase(const std::string& path, std::string& found) {
  fs::path current = path.starts_with('/') ? fs::path("/") : fs::path();
  for (const auto& part : fs::path(path).relative_path()) {
    std::string name = part.string();
    if (name.empty() || name == "." || name == "..") {
      current /= part;
      continue;
    }
    fs::path exact = current / part;
    if (Exists(exact)) {
      current = exact;
      continue;
    }
    std::string entry;
    if (!FindInFolderIndex(current.empty() ? "." : current.string(), name, Fold, entry))
      return false;
    current /= entry;
  }
  found = current.string();
  return true;
}

// A candidate as written when it exists, else with letter case ignored.
bool Find(const std::string& candidate, std::string& found) {
  if (Exists(candidate)) {
    found = candidate;
    return true;
  }
  return MatchIgnoringCase(candidate, found);
}

// Absolute, without "." and ".." and without a trailing separator, so parents can be walked.
fs::path Normal(const fs::path& folder) {
  std::error_code ec;
  fs::path normal = fs::absolute(folder, ec).lexically_normal();
  if (normal.filename().empty() && normal.has_relative_path()) normal = normal.parent_path();
  return normal;
}

bool IsWithin(const fs::path& folder, const fs::path& root) {
  const fs::path relative = folder.lexically_relative(root);
  return !relative.empty() && *relative.begin() != "..";
}

struct TTreeRules {
  std::string RootOption;
  bool AllowOutside = false;
  TRefusalReport Report = nullptr;
  // The last root found, for the script folder it was found for: finding it lists every
  // folder above the script, and names are resolved while the presentation plays.
  fs::path CachedFor, CachedRoot;
};
TTreeRules& Rules() {
  static TTreeRules rules;
  return rules;
}

// The folder with links followed, so a link cannot carry a name out of the tree unseen.
fs::path Real(const fs::path& path) {
  std::error_code ec;
  fs::path real = fs::weakly_canonical(Normal(path), ec);
  return ec ? Normal(path) : real;
}

bool InTree(const fs::path& real, const fs::path& tree) {
  const fs::path top = Real(tree);
  return real == top || IsWithin(real, top);
}

fs::path ScriptFolderPath() {
  return Normal(ScriptFolder().empty() ? fs::path(".") : fs::path(ScriptFolder()));
}

// The mapped drive folder that holds the script: the top of its disc, "" for none.
fs::path MappedTopOf(const fs::path& script) {
  for (const std::string& mapped : DriveFolders())
    if (!mapped.empty() && IsWithin(script, Normal(mapped))) return Normal(mapped);
  return {};
}

// A disc marks its top with AUTORUN.INF, and a copy of it keeps the mark. Without a mark, the
// script is taken to sit one folder down on its disc, as most do.
// The folders above a script are looked at once, so they are scanned here rather than kept in
// the index of the presentation's own folders.
bool HoldsMark(const fs::path& folder) {
  if (Exists(folder / "AUTORUN.INF")) return true;
  const std::u32string mark = Fold("AUTORUN.INF");
  std::vector<std::string> names;
  ListFolder(folder.string(), names);
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& name) { return Fold(name) == mark; });
}

fs::path MarkedTopOf(const fs::path& script) {
  for (fs::path folder = script;; folder = folder.parent_path()) {
    if (HoldsMark(folder)) return folder;
    if (folder == folder.parent_path()) break;
  }
  return script.has_relative_path() ? script.parent_path() : script;
}

// The root of the disc image or archive that holds the script: "" for a script on disk.
fs::path ContainerTopOf(const fs::path& script) {
  std::string point;
  return ContainerOf(script.string(), &point) ? fs::path(point) : fs::path();
}

fs::path RootOf(const fs::path& script) {
  if (!Rules().RootOption.empty()) return Normal(Rules().RootOption);
  if (fs::path top = ContainerTopOf(script); !top.empty()) return top;
  if (fs::path top = MappedTopOf(script); !top.empty()) return top;
  if (Rules().CachedFor != script) {
    Rules().CachedRoot = MarkedTopOf(script);
    Rules().CachedFor = script;
  }
  return Rules().CachedRoot;
}

// Where a name rooted on the disc may start, nearest first: the script may sit in any folder
// of the disc, so each folder from the script's upwards to the root may be the disc's top.
std::vector<fs::path> PresentationRoots() {
  const fs::path script = ScriptFolderPath();
  // A script on a mapped drive or in an image knows its disc's top: a nearer folder of that
  // name is not it.
  if (fs::path top = ContainerTopOf(script); !top.empty()) return {top};
  if (fs::path top = MappedTopOf(script); !top.empty()) return {top};
  const fs::path root = RootOf(script);
  if (script != root && !IsWithin(script, root)) return {root};
  std::vector<fs::path> roots{script};
  while (roots.back() != root) roots.push_back(roots.back().parent_path());
  return roots;
}

// The folders that FindDataFile searches, in its order. An installed program keeps to
// installed data; a built one may find the build's copy, but only when it runs inside that
// build, so a package never looks into a build folder.
std::vector<std::string> DataFolders(const std::string& executable) {
  std::vector<std::string> folders;
  if (std::string installed = InstalledDataFolder(executable); !installed.empty())
    folders.push_back(std::move(installed));
  else if (!executable.empty())
    folders.push_back(FolderOf(executable));
  folders.push_back(VEKE_DATA_DIR);
  if (IsWithin(executable, VEKE_BUILD_DIR)) folders.push_back(VEKE_BUILD_DIR);
  return folders;
}

// A found name may be used: it lies in the root or in a mapped drive folder, links followed,
// or it is one of the player's own data files (the default fonts), which every presentation
// may use.
bool Reachable(const std::string& found) {
  const fs::path real = Real(found);
  if (InTree(real, RootOf(ScriptFolderPath()))) return true;
  for (const std::string& mapped : DriveFolders())
    if (!mapped.empty() && InTree(real, mapped)) return true;
  for (const std::string& data : DataFolders(SelfExecutablePath()))
    if (InTree(real, data)) return true;
  return false;
}

void ReportRefusal(std::string_view name, const std::string& found) {
  const std::string root = RootOf(ScriptFolderPath()).string();
  const std::string real = Real(found).string();
  std::string message = "not opening " + std::string(name) + ": ";
  if (IsWithin(Normal(found), Normal(root)))
    message += "a link leads it to " + real + ", outside";
  else
    message += real + " lies outside";
  message += " the presentation's folder " + root +
             " (to let it reach further, start with --root FOLDER or --allow-outside)";
  if (Rules().Report)
    Rules().Report(message);
  else
    DebugOutput(message);
}

// The places a name may be, in the order they are tried. `slashed` is the name with slashes
// for backslashes; `ownName` says that it was written with a leading slash.
std::vector<std::string> Candidates(const std::string& slashed, bool ownName) {
  const int drive = DriveOf(slashed);
  std::vector<std::string> candidates;
  if (drive < 0 && !slashed.starts_with('/')) {
    // A presentation's own files win over same-named files of wherever it was started from.
    if (!ScriptFolder().empty() && ScriptFolder() != ".")
      candidates.push_back((fs::path(ScriptFolder()) / slashed).string());
    candidates.push_back(slashed);
    return candidates;
  }
  // Windows writes rooted names with backslashes; a leading slash is first of all this
  // machine's own absolute name, as the command line and the player itself give them.
  if (ownName) candidates.push_back(slashed);
  std::string rest = slashed.substr(drive < 0 ? 0 : 2);
  const size_t first = rest.find_first_not_of('/');
  rest.erase(0, first == std::string::npos ? rest.size() : first);
  const bool mapped = drive >= 0 && !DriveFolders()[drive].empty();
  for (const fs::path& root :
       mapped ? std::vector<fs::path>{DriveFolders()[drive]} : PresentationRoots())
    candidates.push_back((rest.empty() ? root : root / rest).string());
  return candidates;
}

// Every candidate in turn; with `confined`, one found outside the tree is passed over, and
// when nothing else is found the first of those is refused. The current folder, when it is
// not the script's, is only a fallback of the player's, not a place the presentation names:
// a file found there outside the tree is passed over without a word. Either way the name
// with slashes is not returned, since it would open the file passed over.
std::string Resolve(std::string_view name, bool confined) {
  std::string slashed(name);
  for (char& c : slashed)
    if (c == '\\') c = '/';
  if (slashed.empty()) return slashed;
  const bool relative = DriveOf(slashed) < 0 && !slashed.starts_with('/');
  const std::vector<std::string> candidates = Candidates(slashed, name.starts_with('/'));
  std::string found, refused;
  bool passedOver = false;
  for (const std::string& candidate : candidates) {
    if (!Find(candidate, found)) continue;
    if (!confined || Reachable(found)) return found;
    passedOver = true;
    const bool fallback = relative && candidate == slashed && candidates.size() > 1;
    if (refused.empty() && !fallback) refused = found;
  }
  if (!passedOver) return slashed;
  if (!refused.empty()) ReportRefusal(name, refused);
  return "";
}
}  // namespace

void SetScriptFolder(const std::string& folder) {
  ScriptFolderStorage() = folder;
  Rules().CachedFor.clear();
}
const std::string& ScriptFolder() { return ScriptFolderStorage(); }

bool MapDrive(char letter, const std::string& folder) {
  const int drive = DriveOf(std::string{letter, ':'});
  if (drive < 0) return false;
  DriveFolders()[drive] = folder;
  return true;
}

void ClearDriveMap() { DriveFolders().fill(""); }

void SetRootOption(const std::string& folder) { Rules().RootOption = folder; }
void SetRootUnlessGiven(const std::string& folder) {
  if (Rules().RootOption.empty()) Rules().RootOption = folder;
}
void SetAllowOutside(bool allow) { Rules().AllowOutside = allow; }
void SetRefusalReport(TRefusalReport report) { Rules().Report = report; }

std::string PresentationRoot() {
  return ScriptFolder().empty() ? "" : RootOf(ScriptFolderPath()).string();
}

namespace {
TNameListener& NameListener() {
  static TNameListener listener;
  return listener;
}
}  // namespace

void SetNameListener(TNameListener listener) { NameListener() = std::move(listener); }

std::string ResolvePath(std::string_view name) {
  std::string path = Resolve(name, !Rules().AllowOutside && !ScriptFolder().empty());
  if (!NameListener() || path.empty()) return path;
  // A file the author has yet to make is expected beside the script.
  if (FileInfoOf(path).Kind == TFileKind::Missing && !path.starts_with('/') && DriveOf(path) < 0 &&
      !ScriptFolder().empty())
    NameListener()((fs::path(ScriptFolder()) / path).string());
  else
    NameListener()(path);
  return path;
}

std::string ResolveScriptPath(std::string_view cp1250Name) {
  return ResolvePath(Cp1250ToUtf8(cp1250Name));
}

std::string ResolveGivenPath(std::string_view name) { return Resolve(name, false); }

bool IsRegularFile(const std::string& path) {
  return FileInfoOf(path).Kind == TFileKind::Regular;
}

std::string SpecialFileKind(const std::string& path) {
  if (FileInfoOf(path).Kind != TFileKind::Other) return "";
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "";
  if (S_ISFIFO(st.st_mode)) return "FIFO";
  if (S_ISCHR(st.st_mode)) return "character device";
  if (S_ISBLK(st.st_mode)) return "block device";
  if (S_ISSOCK(st.st_mode)) return "socket";
  return "";
}

std::string ExpandHome(const std::string& path) {
  if (!path.starts_with('~')) return path;
  const size_t slash = std::min(path.find('/'), path.size());
  const std::string user = path.substr(1, slash - 1);
  const char* home = nullptr;
  if (user.empty()) home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* entry = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
    home = entry ? entry->pw_dir : nullptr;
  }
  return home && *home ? home + path.substr(slash) : path;
}

std::string FolderOf(const std::string& path) {
  fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

std::string InstalledDataFolder(const std::string& executable) {
  if (executable.empty()) return "";
  const fs::path folder = (fs::path(FolderOf(executable)) / VEKE_DATA_FROM_BIN).lexically_normal();
  std::error_code ec;
  return fs::is_directory(folder, ec) ? folder.string() : "";
}

std::string FindDataFile(std::string_view name, const std::string& executable) {
  const std::vector<std::string> folders = DataFolders(executable);
  std::string relative(name);
  for (char& c : relative)
    if (c == '\\') c = '/';
  for (const std::string& folder : folders) {
    const std::string candidate = ResolveGivenPath(folder + "/" + relative);
    if (IsRegularFile(candidate)) return candidate;
  }
  return "";
}
