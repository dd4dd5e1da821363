#pragma once
// The one way the player reads files: from disk, or from inside a disc image or archive that
// has been mounted. A mounted container answers under its own file name as if it were a
// folder ("/home/u/show.iso/PICS/A.BMP"), so names, letter case and the presentation's tree
// work inside it as on disk. Everything here may be called from any thread.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

enum class TFileKind { Missing, Regular, Folder, Other };

struct TFileInfo {
  TFileKind Kind = TFileKind::Missing;
  uint64_t Size = 0;
  int64_t ModifiedNs = 0;  // disk files: the modification time; inside a container: 0
  bool InContainer = false;
};

// What is at `path`, links followed.
TFileInfo FileInfoOf(const std::string& path);

// The names in a folder, as it lists them. False when it is no folder or cannot be read.
bool ListFolder(const std::string& path, std::vector<std::string>& names);

// A file opened for reading, with random access.
class TReadFile {
 public:
  virtual ~TReadFile() = default;
  virtual uint64_t Size() const = 0;
  // Up to `count` bytes from `offset`: fewer only at the end of the file; -1 on a read error.
  virtual int64_t ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
};

// Bytes in memory read as a file (sounds the program made, tests).
std::unique_ptr<TReadFile> ReadFileOfBytes(std::vector<uint8_t> bytes);

// Opens a regular file; nullptr with the reason in `error` otherwise.
std::unique_ptr<TReadFile> OpenReadFile(const std::string& path, std::string& error);

// The whole file. False, with the reason, when it cannot be read or is larger than `limit`.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   uint64_t limit = UINT64_MAX);
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error,
                   uint64_t limit = UINT64_MAX);

// A disc image or archive, read in place. Implementations list their whole tree when they
// open (directory records only), so a look-up never goes back to the image for a name.
class TContainer {
 public:
  struct TEntry {
    bool Folder = false;
    uint64_t Size = 0;
    uint64_t Locator = 0;               // where the implementation finds the bytes
    std::vector<std::string> Children;  // names of a folder's entries, in listing order
  };
  virtual ~TContainer() = default;

  // The entry at `inner` ("" for the root, names separated by "/"); nullptr when none.
  const TEntry* Find(const std::string& inner) const;
  virtual std::unique_ptr<TReadFile> Open(const TEntry& entry, std::string& error) = 0;

  std::string Kind;   // "ISO 9660 image", "BIN/CUE image", "zip archive"
  std::string Label;  // the disc's volume label; "" when it has none
  uint64_t FileCount = 0, TotalBytes = 0;
  // Names the image held that could not be taken (".." or absolute names, loops, doubles):
  // each is told once when the container is mounted.
  std::vector<std::string> Skipped;

 protected:
  TContainer();
  // Adds `name` to the folder `folder` ("" for the root; it must have been added), counting
  // files and their bytes, and returns its inner name. Names that would step out of the
  // container (empty, ".", "..", holding "/" or "\\" or a control character) and names the
  // folder already holds are skipped (recorded in Skipped) and "" is returned.
  std::string Add(const std::string& folder, const std::string& name, TEntry entry);

 private:
  std::unordered_map<std::string, TEntry> Entries;
};

// Sorts of files that may hold a presentation besides folders and scripts.
enum class TContainerSort { None, IsoImage, CueSheet, RawBin, ZipArchive };
// What `path` is, from its first bytes and its extension (a .cue is a text file).
TContainerSort ContainerSortOf(const std::string& path);

// Makes the image or archive at `path` answer as a folder under its absolute name, which is
// returned; mounting it again returns the same name. "" with the reason when it cannot be read.
std::string MountContainer(const std::string& path, std::string& error);
// The container that a mounted name lies in, and the mount point; nullptr for disk names.
std::shared_ptr<TContainer> ContainerOf(const std::string& path, std::string* mountPoint = nullptr);

// Implementations, each in a file of its own: nullptr with the reason when `path` cannot be read.
std::shared_ptr<TContainer> OpenDiscImage(const std::string& path, TContainerSort sort,
                                          std::string& error);
std::shared_ptr<TContainer> OpenZipArchive(const std::string& path, std::string& error);
