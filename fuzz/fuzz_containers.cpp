// Feeds arbitrary bytes to the disc image and archive readers as a file that lives only in
// memory (a memfd named by /proc/self/fd), to the sniffing and to each reader: a refusal says why,
// every listed name is found, the counts match the tree, and no read returns more than was asked or
// than the file holds.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/PL_Files.h"

namespace {

// A few bytes can state many large entries; this much shows the reading works.
constexpr size_t kMostFilesRead = 64;
constexpr size_t kReadSize = 4096;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void ReadAround(TReadFile& file) {
  const uint64_t size = file.Size();
  std::vector<uint8_t> buffer(kReadSize);
  // Forward, back to the start, near the end and past it: the steps of a demuxer that seeks.
  for (uint64_t offset :
       {uint64_t{0}, size / 2, uint64_t{1}, size > 3 ? size - 3 : 0, size, size + 1}) {
    const int64_t got = file.ReadAt(offset, buffer.data(), buffer.size());
    Check(got <= static_cast<int64_t>(buffer.size()));
    Check(got <= 0 || static_cast<uint64_t>(got) <= size - offset);
  }
}

void Walk(TContainer& container) {
  uint64_t files = 0, bytes = 0;
  size_t read = 0;
  std::vector<std::string> folders = {""};
  while (!folders.empty()) {
    const std::string folder = folders.back();
    folders.pop_back();
    const TContainer::TEntry* entry = container.Find(folder);
    Check(entry && entry->Folder);
    for (const std::string& name : entry->Children) {
      const std::string inner = folder.empty() ? name : folder + "/" + name;
      const TContainer::TEntry* child = container.Find(inner);
      Check(child != nullptr);
      if (child->Folder) {
        folders.push_back(inner);
        continue;
      }
      ++files;
      bytes += child->Size;
      if (read++ >= kMostFilesRead) continue;
      std::string error;
      auto file = container.Open(*child, error);
      Check(file || !error.empty());
      if (file) ReadAround(*file);
    }
  }
  Check(files == container.FileCount && bytes == container.TotalBytes);
}

void Try(std::shared_ptr<TContainer> container, const std::string& error) {
  Check(container || !error.empty());
  if (container) Walk(*container);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("container", MFD_CLOEXEC);
  Check(fd >= 0);
  for (size_t done = 0; done < size;) {
    const ssize_t n = write(fd, data + done, size - done);
    Check(n > 0);
    done += static_cast<size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  // Whatever the sniffing says, each reader meets every input: it is what a file's
  // extension or a damaged head would send it.
  ContainerSortOf(path);
  for (TContainerSort forced : {TContainerSort::IsoImage, TContainerSort::RawBin}) {
    std::string error;
    Try(OpenDiscImage(path, forced, error), error);
  }
  std::string error;
  Try(OpenZipArchive(path, error), error);
  close(fd);
  return 0;
}
