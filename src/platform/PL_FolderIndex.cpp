#include "platform/PL_FolderIndex.h"

#include <time.h>

#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/PL_Files.h"

namespace fs = std::filesystem;

namespace {

struct TFolder {
  int64_t Modified = -1;  // the folder's modification time when it was read, nanoseconds
  int64_t ReadAt = 0;     // the clock when it was read
  std::unordered_map<std::u32string, std::string> Names;  // folded name -> entry
};

// File systems keep modification times in ticks of a few milliseconds, so a file made in the
// tick the folder was read in leaves its time as it was. An index read this long after the
// folder last changed is settled: what it lacks is not there.
constexpr int64_t kSettledNs = 1'000'000'000;

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

using TFold = std::function<std::u32string(std::string_view)>;

void Read(const std::string& folder, int64_t modified, const TFold& fold, TFolder& known,
          uint64_t& reads) {
  known.Names.clear();
  ++reads;
  std::vector<std::string> names;
  ListFolder(folder, names);
  for (const std::string& entryName : names) known.Names.try_emplace(fold(entryName), entryName);
  known.Modified = modified;
  known.ReadAt = NowNs();
}

struct TIndex {
  std::mutex Lock;  // decoders open files off the engine's thread
  std::unordered_map<std::string, TFolder> Folders;
  uint64_t Reads = 0;
};

TIndex& Index() {
  static TIndex index;
  return index;
}

// The folder's modification time, or -1 when it is no folder. Folders in an image never
// change: theirs is 0, so they are read once.
int64_t ModifiedNs(const std::string& folder) {
  const TFileInfo info = FileInfoOf(folder);
  return info.Kind == TFileKind::Folder ? info.ModifiedNs : -1;
}

}  // namespace

bool FindInFolderIndex(const std::string& folder, std::string_view name,
                       const std::function<std::u32string(std::string_view)>& fold,
                       std::string& entry) {
  const int64_t modified = ModifiedNs(folder);
  if (modified < 0) return false;
  TIndex& index = Index();
  std::lock_guard lock(index.Lock);
  // Keyed by the absolute path, so "." stays right if the current folder changes.
  std::error_code ec;
  TFolder& known = index.Folders[fs::absolute(folder, ec).string()];
  if (known.Modified != modified) Read(folder, modified, fold, known, index.Reads);
  auto found = known.Names.find(fold(name));
  if (found == known.Names.end() && known.ReadAt - known.Modified < kSettledNs) {
    Read(folder, modified, fold, known, index.Reads);
    found = known.Names.find(fold(name));
  }
  if (found == known.Names.end()) return false;
  entry = found->second;
  return true;
}

uint64_t FolderIndexReads() {
  std::lock_guard lock(Index().Lock);
  return Index().Reads;
}
