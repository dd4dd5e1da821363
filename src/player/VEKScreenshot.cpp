#include "player/VEKScreenshot.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/PL_Files.h"
#include "platform/PL_PartialFile.h"
#include "platform/PL_Paths.h"
#include "player/VEKEngine.h"

namespace {
std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool IsFolder(const std::string& path) {
  return !path.empty() && FileInfoOf(path).Kind == TFileKind::Folder;
}

// XDG_PICTURES_DIR="$HOME/Pictures" in user-dirs.dirs; "" when it names none.
std::string UserDirsPictures(const std::string& home) {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::ifstream file(config + "/user-dirs.dirs");
  const std::string key = "XDG_PICTURES_DIR=\"";
  for (std::string line; std::getline(file, line);) {
    if (!line.starts_with(key) || !line.ends_with('"')) continue;
    std::string folder = line.substr(key.size(), line.size() - key.size() - 1);
    if (folder.starts_with("$HOME")) folder = home + folder.substr(5);
    // Pointing at the home folder itself means the user has none.
    return folder.starts_with('/') && folder != home && folder != home + "/" ? folder : "";
  }
  return "";
}
}  // namespace

std::string ScreenshotFolder(const std::string& scriptPath) {
  const std::string home = Environment("HOME");
  for (const std::string& folder :
       {Environment("XDG_PICTURES_DIR"), home.empty() ? "" : UserDirsPictures(home),
        home.empty() ? "" : home + "/Pictures"})
    if (IsFolder(folder)) return folder;
  std::error_code ec;
  return ContainerOf(scriptPath) ? std::filesystem::current_path(ec).string()
                                 : FolderOf(scriptPath);
}

std::string ScreenshotName(const std::string& folder, std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "veke-%Y%m%d-%H%M%S", &local);
  const std::string base = folder + "/" + stamp;
  std::string name = base + ".png";
  for (int n = 2; FileInfoOf(name).Kind != TFileKind::Missing; ++n)
    name = base + "-" + std::to_string(n) + ".png";
  return name;
}

void TVEKE::SaveScreenshot() {
  const std::string path = ScreenshotName(ScreenshotFolder(ScriptPath), std::time(nullptr));
  const std::string partial = PartialNameFor(path);
  std::string error;
  if (!Engine->Display->WriteShownPng(partial, error) || !CommitPartial(partial, path, error)) {
    DiscardPartial(partial);
    std::fprintf(stderr, "veke: cannot save the screenshot %s: %s\n", path.c_str(), error.c_str());
    return;
  }
  std::fprintf(stderr, "veke: screenshot saved as %s\n", path.c_str());
}
