#include "player/VEKFindPresentation.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

#include "platform/PL_Files.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Process.h"
#include "platform/PL_Text.h"
#include "player/VEKEngine.h"

namespace {

bool IsScriptName(const std::string& name) {
  return name.size() > 4 && UpperAscii(std::string_view(name).substr(name.size() - 4)) == ".VEK";
}

// `name` inside `root`, letter case ignored, backslashes and drive letters as on the disc;
// "" when there is no such file.
std::string FileInRoot(const std::string& root, std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
  name.erase(0, std::min(name.find_first_not_of('/'), name.size()));
  if (name.empty()) return "";
  const std::string path = ResolveGivenPath(root + "/" + name);
  return IsRegularFile(path) ? path : "";
}

std::string Relative(const std::string& root, const std::string& path) {
  return std::filesystem::path(path).lexically_relative(root).generic_string();
}

// The value of an `open=` or `shellexecute=` line of the [autorun] section that names a
// script, split into words: a program, the script, switches. Empty when there is none.
std::vector<std::string> AutorunCommand(const std::string& file) {
  std::string bytes, error;
  if (!ReadWholeFile(file, bytes, error, 64 * 1024)) return {};
  std::istringstream lines(Cp1250ToUtf8(DecodeTextFile(bytes)));
  bool inAutorun = false;
  for (std::string line; std::getline(lines, line);) {
    const std::string trimmed(std::string_view(line).substr(0, line.find_last_not_of(" \t\r") + 1));
    const std::string text = trimmed.substr(std::min(trimmed.find_first_not_of(" \t"), trimmed.size()));
    if (text.starts_with('[')) {
      inAutorun = UpperAscii(text).starts_with("[AUTORUN]");
      continue;
    }
    const size_t equals = text.find('=');
    if (!inAutorun || equals == std::string::npos) continue;
    std::string key = UpperAscii(text.substr(0, equals));
    key.erase(key.find_last_not_of(" \t") + 1);
    if (key != "OPEN" && key != "SHELLEXECUTE") continue;
    std::vector<std::string> words = SplitCommandLine(text.substr(equals + 1));
    if (std::any_of(words.begin(), words.end(), IsScriptName)) return words;
  }
  return {};
}

// The script and switches of the disc's AUTORUN.INF, when it names a script that is there.
bool FindByAutorun(TFoundPresentation& found) {
  const std::string autorun = FileInRoot(found.Root, "AUTORUN.INF");
  if (autorun.empty()) return false;
  const std::vector<std::string> words = AutorunCommand(autorun);
  const auto script = std::find_if(words.begin(), words.end(), IsScriptName);
  if (script == words.end()) return false;
  found.Script = FileInRoot(found.Root, *script);
  if (found.Script.empty()) return false;
  std::copy_if(script + 1, words.end(), std::back_inserter(found.Switches), IsDisplaySwitch);
  found.FoundBy = "AUTORUN.INF";
  return true;
}

std::vector<std::string> ScriptsIn(const std::string& folder) {
  std::vector<std::string> names, scripts;
  ListFolder(folder, names);
  for (const std::string& name : names)
    if (IsScriptName(name) && IsRegularFile(folder + "/" + name)) scripts.push_back(name);
  std::sort(scripts.begin(), scripts.end());
  return scripts;
}

// The one script in the root, else the one in the folders just below it.
void FindByLooking(TFoundPresentation& found, const std::string& given) {
  std::vector<std::string> candidates = ScriptsIn(found.Root);
  found.FoundBy = "the only script in the root";
  if (candidates.empty()) {
    std::vector<std::string> names;
    ListFolder(found.Root, names);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      if (FileInfoOf(found.Root + "/" + name).Kind != TFileKind::Folder) continue;
      for (const std::string& script : ScriptsIn(found.Root + "/" + name))
        candidates.push_back(name + "/" + script);
    }
    if (candidates.size() == 1)
      found.FoundBy = "the only script in " + candidates[0].substr(0, candidates[0].find('/'));
  }
  if (candidates.size() == 1) {
    found.Script = found.Root + "/" + candidates[0];
    return;
  }
  found.FoundBy.clear();
  found.ExitCode = 2;
  if (candidates.empty()) {
    found.Error = given + ": no presentation script (.vek) in it or in the folders just below it";
    return;
  }
  found.Error = given + " holds several presentation scripts:";
  for (const std::string& candidate : candidates) found.Error += "\n  " + candidate;
  found.Error += "\nchoose one with --script NAME";
}

}  // namespace

TFoundPresentation FindPresentation(const std::string& given, const std::string& chosen) {
  TFoundPresentation found;
  const std::string path = ResolveGivenPath(given);
  const TFileInfo info = FileInfoOf(path);
  if (info.Kind == TFileKind::Regular && !info.InContainer &&
      ContainerSortOf(path) != TContainerSort::None) {
    std::string error;
    found.Root = MountContainer(path, error);
    if (found.Root.empty()) {
      found.Error = given + ": " + error;
      found.ExitCode = 1;
      return found;
    }
    const std::shared_ptr<TContainer> container = ContainerOf(found.Root);
    found.Kind = container->Kind;
    found.Label = container->Label;
    found.LeftOut = container->Skipped;
  } else if (info.Kind == TFileKind::Folder && !IsScriptName(given)) {
    // A folder named as a script was meant as one: the player says the script is missing.
    std::error_code ec;
    found.Root = std::filesystem::absolute(path, ec).lexically_normal().string();
    while (found.Root.size() > 1 && found.Root.back() == '/') found.Root.pop_back();
    found.Kind = "folder";
  } else {
    found.Kind = "script";
    found.Script = found.ScriptName = given;
    found.Root = FolderOf(path);
    found.FoundBy = "the command line";
    return found;
  }
  if (!chosen.empty()) {
    const std::string script = FileInRoot(found.Root, chosen);
    // The disc's switches go with the script it starts, also when --script names that one.
    if (!FindByAutorun(found) || found.Script != script) {
      found.Switches.clear();
      found.Script = script;
      found.FoundBy = "--script";
    }
    if (found.Script.empty()) {
      found.Error = given + ": no script " + chosen + " in it";
      found.ExitCode = 2;
    }
  } else if (!FindByAutorun(found)) {
    FindByLooking(found, given);
  }
  if (!found.Script.empty()) found.ScriptName = Relative(found.Root, found.Script);
  return found;
}

std::string DescribeLeftOut(const std::string& given, const TFoundPresentation& found) {
  // A damaged image may leave out thousands: the first ones tell what is wrong.
  constexpr size_t kShown = 20;
  std::string text;
  for (size_t i = 0; i < found.LeftOut.size() && i < kShown; ++i) {
    std::string name = found.LeftOut[i];
    // A name in a damaged image may hold anything; a terminal would act on control bytes.
    for (char& c : name)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    text += given + ": left out: " + name + "\n";
  }
  if (found.LeftOut.size() > kShown)
    text += given + ": left out: " + std::to_string(found.LeftOut.size() - kShown) +
            " more names\n";
  return text;
}

std::string DescribePresentation(const std::string& given, const TFoundPresentation& found) {
  uint64_t files = 0, bytes = 0;
  if (const auto container = ContainerOf(found.Root)) {
    files = container->FileCount;
    bytes = container->TotalBytes;
  } else {
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(found.Root, ec), end;
         !ec && it != end; it.increment(ec))
      if (it->is_regular_file(ec)) {
        ++files;
        bytes += it->file_size(ec);
      }
  }
  std::string switches;
  for (const std::string& word : found.Switches) switches += (switches.empty() ? "" : " ") + word;
  std::ostringstream text;
  text << "presentation: " << given << " (" << found.Kind << ")\n"
       << "volume label: " << (found.Label.empty() ? "none" : found.Label) << "\n"
       << "files: " << files << " (" << bytes << " bytes)\n"
       << "script: " << found.ScriptName << "\n"
       << "switches: " << (switches.empty() ? "none" : switches)
       << (switches.empty() ? "" : " (from AUTORUN.INF)") << "\n"
       << "found by: " << found.FoundBy << "\n";
  return text.str();
}
