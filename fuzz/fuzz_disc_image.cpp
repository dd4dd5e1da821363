// Feeds arbitrary bytes to the disc image reader as an .iso: whatever the directory records
// say, it lists a tree or refuses the image, and every file it lists reads within its size.
// The input starts at the first volume descriptor; the 32 KiB before it, which no reader
// looks at, are left out of the corpus and put back here.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/PL_Files.h"

namespace {

constexpr size_t kSystemArea = 16 * 2048;

void ReadTree(TContainer& image, const std::string& inner, std::vector<uint8_t>& buffer) {
  const TContainer::TEntry* entry = image.Find(inner);
  if (!entry) __builtin_trap();  // a name the container listed must be found
  if (entry->Folder) {
    for (const std::string& child : entry->Children)
      ReadTree(image, inner.empty() ? child : inner + "/" + child, buffer);
    return;
  }
  std::string error;
  std::unique_ptr<TReadFile> file = image.Open(*entry, error);
  if (!file || file->Size() != entry->Size) __builtin_trap();
  // Small reads across sector boundaries, then the rest in one.
  for (uint64_t offset = 1; offset < file->Size() && offset < 3 * 2048; offset += 2047)
    if (file->ReadAt(offset, buffer.data(), 3) > 3) __builtin_trap();
  buffer.resize(file->Size() + 1);
  const int64_t read = file->ReadAt(0, buffer.data(), buffer.size());
  if (read > static_cast<int64_t>(file->Size())) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // libcdio opens images by name: the image lives in memory under /proc/self/fd.
  const int fd = memfd_create("image.iso", MFD_CLOEXEC);
  if (fd < 0) return 0;
  const std::vector<uint8_t> systemArea(kSystemArea);
  if (write(fd, systemArea.data(), kSystemArea) == static_cast<ssize_t>(kSystemArea) &&
      write(fd, data, size) == static_cast<ssize_t>(size)) {
    std::string error;
    std::shared_ptr<TContainer> image =
        OpenDiscImage("/proc/self/fd/" + std::to_string(fd), TContainerSort::IsoImage, error);
    if (!image && error.empty()) __builtin_trap();  // a refusal says why
    std::vector<uint8_t> buffer(3);
    if (image) ReadTree(*image, "", buffer);
  }
  close(fd);
  return 0;
}
