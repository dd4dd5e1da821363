#include "platform/PL_Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace fs = std::filesystem;

namespace {

class TDiskFile : public TReadFile {
 public:
  TDiskFile(int fd, uint64_t size) : Fd(fd), Length(size) {}
  ~TDiskFile() override { ::close(Fd); }
  uint64_t Size() const override { return Length; }
  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(Fd, static_cast<char*>(buffer) + done, count - done,
                                static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return -1;
      if (n == 0) break;
      done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
  }

 private:
  int Fd;
  uint64_t Length;
};

class TBytesFile : public TReadFile {
 public:
  explicit TBytesFile(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)) {}
  uint64_t Size() const override { return Bytes.size(); }
  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    // An empty read may come with no buffer at all, which memcpy must not be given.
    if (offset >= Bytes.size() || count == 0) return 0;
    const size_t n = std::min<uint64_t>(count, Bytes.size() - offset);
    std::memcpy(buffer, Bytes.data() + offset, n);
    return static_cast<int64_t>(n);
  }

 private:
  std::vector<uint8_t> Bytes;
};

struct TMounts {
  std::mutex Lock;
  std::map<std::string, std::shared_ptr<TContainer>> ByPoint;  // absolute, links followed
};
TMounts& Mounts() {
  static TMounts mounts;
  return mounts;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  return fs::absolute(path, ec).lexically_normal().string();
}

// The container holding `path` and the name inside it, or nullptr for a name on disk.
std::shared_ptr<TContainer> Locate(const std::string& path, std::string& inner,
                                   std::string* mountPoint = nullptr) {
  TMounts& mounts = Mounts();
  std::lock_guard lock(mounts.Lock);
  if (mounts.ByPoint.empty()) return nullptr;
  std::string full = Absolute(path);
  while (full.size() > 1 && full.back() == '/') full.pop_back();
  // Mounts are few: the longest mount point that is the name itself or a folder above it.
  const std::pair<const std::string, std::shared_ptr<TContainer>>* best = nullptr;
  for (const auto& mount : mounts.ByPoint) {
    const std::string& point = mount.first;
    if (full.starts_with(point) && (full.size() == point.size() || full[point.size()] == '/') &&
        (!best || point.size() > best->first.size()))
      best = &mount;
  }
  if (best) {
    inner = full.size() == best->first.size() ? "" : full.substr(best->first.size() + 1);
    if (mountPoint) *mountPoint = best->first;
    return best->second;
  }
  return nullptr;
}

bool ValidName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
  });
}

}  // namespace

TContainer::TContainer() { Entries[""].Folder = true; }

const TContainer::TEntry* TContainer::Find(const std::string& inner) const {
  auto it = Entries.find(inner);
  return it == Entries.end() ? nullptr : &it->second;
}

std::string TContainer::Add(const std::string& folder, const std::string& name, TEntry entry) {
  const std::string inner = folder.empty() ? name : folder + "/" + name;
  auto parent = Entries.find(folder);
  if (!ValidName(name) || parent == Entries.end() || !parent->second.Folder ||
      Entries.contains(inner)) {
    Skipped.push_back(inner);
    return "";
  }
  if (!entry.Folder) {
    ++FileCount;
    TotalBytes += entry.Size;
  }
  Entries[folder].Children.push_back(name);
  Entries.emplace(inner, std::move(entry));
  return inner;
}

std::unique_ptr<TReadFile> ReadFileOfBytes(std::vector<uint8_t> bytes) {
  return std::make_unique<TBytesFile>(std::move(bytes));
}

TFileInfo FileInfoOf(const std::string& path) {
  TFileInfo info;
  std::string inner;
  if (auto container = Locate(path, inner)) {
    const TContainer::TEntry* entry = container->Find(inner);
    if (!entry) return info;
    info.Kind = entry->Folder ? TFileKind::Folder : TFileKind::Regular;
    info.Size = entry->Folder ? 0 : entry->Size;
    info.InContainer = true;
    return info;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return info;
  info.Kind = S_ISREG(st.st_mode)   ? TFileKind::Regular
              : S_ISDIR(st.st_mode) ? TFileKind::Folder
                                    : TFileKind::Other;
  info.Size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  info.ModifiedNs = int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
  return info;
}

bool ListFolder(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  std::string inner;
  if (auto container = Locate(path, inner)) {
    const TContainer::TEntry* entry = container->Find(inner);
    if (!entry || !entry->Folder) return false;
    names = entry->Children;
    return true;
  }
  std::error_code ec;
  fs::directory_iterator it(path.empty() ? "." : path, ec);
  if (ec) return false;
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  return true;
}

std::unique_ptr<TReadFile> OpenReadFile(const std::string& path, std::string& error) {
  std::string inner;
  if (auto container = Locate(path, inner)) {
    const TContainer::TEntry* entry = container->Find(inner);
    if (!entry || entry->Folder) {
      error = entry ? "is a folder" : "no such file in " + container->Kind;
      return nullptr;
    }
    return container->Open(*entry, error);
  }
  // Without waiting: a FIFO given for a file would otherwise block until a writer came.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file";
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<TDiskFile>(fd, static_cast<uint64_t>(st.st_size));
}

namespace {
template <typename TBytes>
bool ReadWhole(const std::string& path, TBytes& bytes, std::string& error, uint64_t limit) {
  bytes.clear();
  std::unique_ptr<TReadFile> file = OpenReadFile(path, error);
  if (!file) return false;
  const uint64_t size = file->Size();
  if (size > limit || size > SIZE_MAX / 2) {
    error = "larger than " + std::to_string(limit) + " bytes";
    return false;
  }
  bytes.resize(static_cast<size_t>(size));
  const int64_t read = file->ReadAt(0, bytes.data(), bytes.size());
  if (read != static_cast<int64_t>(size)) {
    error = read < 0 ? "read error" : "the file ended early";
    bytes.clear();
    return false;
  }
  return true;
}
}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   uint64_t limit) {
  return ReadWhole(path, bytes, error, limit);
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error,
                   uint64_t limit) {
  return ReadWhole(path, bytes, error, limit);
}

TContainerSort ContainerSortOf(const std::string& path) {
  std::string error;
  std::unique_ptr<TReadFile> file = OpenReadFile(path, error);
  if (!file) return TContainerSort::None;
  std::string extension = fs::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  uint8_t head[4] = {};
  if (file->ReadAt(0, head, 4) == 4 && head[0] == 'P' && head[1] == 'K' &&
      ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6)))
    return TContainerSort::ZipArchive;
  char mark[5] = {};
  // The volume descriptors start at sector 16; a raw image has 2352-byte sectors whose data
  // begins 16 bytes in (mode 1) or 24 (mode 2).
  if (file->ReadAt(16 * 2048 + 1, mark, 5) == 5 && std::memcmp(mark, "CD001", 5) == 0)
    return TContainerSort::IsoImage;
  for (uint64_t offset : {16 * 2352 + 16 + 1, 16 * 2352 + 24 + 1})
    if (file->ReadAt(offset, mark, 5) == 5 && std::memcmp(mark, "CD001", 5) == 0)
      return extension == ".cue" ? TContainerSort::CueSheet : TContainerSort::RawBin;
  if (extension == ".cue") return TContainerSort::CueSheet;
  if (extension == ".iso") return TContainerSort::IsoImage;  // damaged: let the reader say so
  if (extension == ".zip") return TContainerSort::ZipArchive;
  return TContainerSort::None;
}

std::string MountContainer(const std::string& path, std::string& error) {
  std::error_code ec;
  const std::string point = fs::weakly_canonical(Absolute(path), ec).string();
  {
    std::lock_guard lock(Mounts().Lock);
    if (Mounts().ByPoint.contains(point)) return point;
  }
  const TContainerSort sort = ContainerSortOf(path);
  std::shared_ptr<TContainer> container;
  if (sort == TContainerSort::None)
    error = "not a disc image or zip archive";
  else if (sort == TContainerSort::ZipArchive)
    container = OpenZipArchive(path, error);
  else
    container = OpenDiscImage(path, sort, error);
  if (!container) return "";
  std::lock_guard lock(Mounts().Lock);
  Mounts().ByPoint.emplace(point, std::move(container));
  return point;
}

std::shared_ptr<TContainer> ContainerOf(const std::string& path, std::string* mountPoint) {
  std::string inner;
  return Locate(path, inner, mountPoint);
}
