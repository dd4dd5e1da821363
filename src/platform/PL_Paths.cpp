#include "platform/PL_Paths.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "platform/PL_Text.h"

namespace fs = std::filesystem;

namespace {
std::string& ScriptFolderStorage() {
  static std::string folder;
  return folder;
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

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

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
    std::u32string want = Fold(name);
    std::error_code ec;
    fs::directory_iterator it(current.empty() ? fs::path(".") : current, ec), end;
    bool matched = false;
    for (; !ec && it != end; it.increment(ec)) {
      if (Fold(it->path().filename().string()) == want) {
        current /= it->path().filename();
        matched = true;
        break;
      }
    }
    if (!matched) return false;
  }
  found = current.string();
  return true;
}
}  // namespace

void SetScriptFolder(const std::string& folder) { ScriptFolderStorage() = folder; }
const std::string& ScriptFolder() { return ScriptFolderStorage(); }

std::string ResolvePath(std::string_view name) {
  std::string slashed(name);
  for (char& c : slashed)
    if (c == '\\') c = '/';
  if (slashed.empty()) return slashed;
  // A presentation's own files win over same-named files of wherever it was started from.
  std::vector<std::string> candidates;
  if (!slashed.starts_with('/') && !ScriptFolder().empty() && ScriptFolder() != ".")
    candidates.push_back((fs::path(ScriptFolder()) / slashed).string());
  candidates.push_back(slashed);
  for (const auto& candidate : candidates) {
    if (Exists(candidate)) return candidate;
    std::string found;
    if (MatchIgnoringCase(candidate, found)) return found;
  }
  return slashed;
}

std::string ResolveScriptPath(std::string_view cp1250Name) {
  return ResolvePath(Cp1250ToUtf8(cp1250Name));
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
  // An installed program keeps to installed data; a built one may find the build's copy,
  // but only when it runs inside that build, so a package never looks into a build folder.
  std::vector<std::string> folders;
  if (std::string installed = InstalledDataFolder(executable); !installed.empty())
    folders.push_back(std::move(installed));
  else if (!executable.empty())
    folders.push_back(FolderOf(executable));
  folders.push_back(VEKE_DATA_DIR);
  const fs::path inBuild = fs::path(executable).lexically_relative(VEKE_BUILD_DIR);
  if (!inBuild.empty() && *inBuild.begin() != "..") folders.push_back(VEKE_BUILD_DIR);
  std::string relative(name);
  for (char& c : relative)
    if (c == '\\') c = '/';
  for (const std::string& folder : folders) {
    const std::string candidate = ResolvePath(folder + "/" + relative);
    if (IsRegularFile(candidate)) return candidate;
  }
  return "";
}
