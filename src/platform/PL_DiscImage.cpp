// ISO 9660 disc images and BIN/CUE images, read in place with libiso9660. Raw images (2352-byte
// sectors, mode 1 or mode 2 form 1) go through the same reader as plain ones: it finds the
// sector layout itself, and the cue sheet only tells which file holds the data track and where
// it ends. The whole tree is listed when the image opens; files are then read by sector.
#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/PL_CueSheet.h"
#include "platform/PL_Files.h"

namespace {

constexpr uint64_t kSector = ISO_BLOCKSIZE;
// Hostile images must not keep the reader busy or its memory full: a disc of that era has
// some thousands of names in folders of a few sectors, a few levels deep.
constexpr int kMaxDepth = 64;
constexpr uint64_t kMaxNames = 1'000'000;
constexpr uint64_t kMaxFolderBytes = 16 << 20;
// libiso9660 finds a folder by reading every folder above it again.
constexpr uint64_t kMaxListingBytes = uint64_t{1} << 30;
constexpr uint64_t kChunkSectors = 16;  // what a small read fetches: 32 KiB
// How far from the usual places the raw reader looks for the first volume descriptor.
constexpr uint16_t kFuzz = 20;
constexpr iso_extension_mask_t kNoJoliet = ISO_EXTENSION_ALL & ~ISO_EXTENSION_JOLIET;

// libcdio writes its warnings about damaged images to stderr; the reader says what matters.
void QuietLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler([](cdio_log_level_t, const char*) {}); });
}

std::string Trimmed(const char* text) {
  std::string trimmed = text ? text : "";
  while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\0'))
    trimmed.pop_back();
  return trimmed.substr(std::min(trimmed.find_first_not_of(' '), trimmed.size()));
}

uint64_t SectorsOf(uint64_t bytes) { return (bytes + kSector - 1) / kSector; }

// The open image: one libiso9660 handle shared by the container and its open files, which
// libiso9660 does not allow to be used from two threads at once.
class TImage {
 public:
  TImage(iso9660_t* handle, uint64_t sectors, bool raw)
      : Handle(handle), Sectors(sectors), Raw(raw) {}
  ~TImage() { iso9660_close(Handle); }
  TImage(const TImage&) = delete;
  TImage& operator=(const TImage&) = delete;

  // `count` sectors from `first` into `buffer`; false past the end of the image or when the
  // image cannot be read there.
  bool Read(uint64_t first, uint64_t count, void* buffer) {
    if (first > Sectors || count > Sectors - first) return false;
    std::lock_guard lock(Lock);
    // libiso9660 takes the data out of one raw sector at a time: several would come with
    // the headers between them.
    const uint64_t step = Raw ? 1 : count;
    for (uint64_t done = 0; done < count; done += step) {
      const long read = iso9660_iso_seek_read(Handle, static_cast<uint8_t*>(buffer) + done * kSector,
                                              static_cast<lsn_t>(first + done),
                                              static_cast<long>(step));
      if (read < 0 || static_cast<uint64_t>(read) != step * kSector) return false;
    }
    return true;
  }

  iso9660_t* const Handle;  // without the lock only while the image opens
  const uint64_t Sectors;
  const bool Raw;

 private:
  std::mutex Lock;
};

class TDiscFile : public TReadFile {
 public:
  TDiscFile(std::shared_ptr<TImage> image, uint64_t first, uint64_t size)
      : Image(std::move(image)), First(first), Length(size) {}
  uint64_t Size() const override { return Length; }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset >= Length) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, Length - offset));
    auto* out = static_cast<uint8_t*>(buffer);
    std::lock_guard lock(Lock);
    for (size_t done = 0; done < count;) {
      const uint64_t sector = (offset + done) / kSector;
      const size_t within = (offset + done) % kSector, left = count - done;
      if (within == 0 && left >= kSector) {  // whole sectors go straight to the caller
        const uint64_t whole = left / kSector;
        if (!Image->Read(First + sector, whole, out + done)) return -1;
        done += whole * kSector;
        continue;
      }
      if (sector < ChunkFirst || sector >= ChunkFirst + ChunkSectors) {
        ChunkSectors = 0;
        const uint64_t sectors = std::min(kChunkSectors, SectorsOf(Length) - sector);
        Chunk.resize(sectors * kSector);
        if (!Image->Read(First + sector, sectors, Chunk.data())) return -1;
        ChunkFirst = sector;
        ChunkSectors = sectors;
      }
      const size_t from = (sector - ChunkFirst) * kSector + within;
      const size_t take = std::min(left, Chunk.size() - from);
      std::memcpy(out + done, Chunk.data() + from, take);
      done += take;
    }
    return static_cast<int64_t>(count);
  }

 private:
  const std::shared_ptr<TImage> Image;
  const uint64_t First, Length;
  std::mutex Lock;  // of the chunk
  std::vector<uint8_t> Chunk;
  uint64_t ChunkFirst = 0, ChunkSectors = 0;
};

// A directory record as libiso9660 lists it.
struct TRecord {
  std::string Raw;  // the name as recorded, which is what libiso9660 looks folders up by
  uint64_t First = 0, Size = 0;
  bool Folder = false, RockRidge = false, Link = false;
};

// A plain ISO 9660 name without its version (";1") and without the dot of a name that has
// no extension ("README.;1"). Joliet names may carry a version too.
std::string PlainName(std::string name) {
  const size_t semicolon = name.rfind(';');
  if (semicolon != std::string::npos && semicolon + 1 < name.size() &&
      std::all_of(name.begin() + semicolon + 1, name.end(),
                  [](char c) { return c >= '0' && c <= '9'; }))
    name.erase(semicolon);
  if (name.size() > 1 && name.back() == '.') name.pop_back();
  return name;
}

// A name in a form that two names the player cannot tell apart share; libiso9660 finds a
// plain name in either letter case too.
std::string Folded(const std::string& raw) {
  std::string folded = PlainName(raw);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

class TDiscImage : public TContainer {
 public:
  explicit TDiscImage(std::shared_ptr<TImage> image) : Image(std::move(image)) {}

  std::unique_ptr<TReadFile> Open(const TEntry& entry, std::string&) override {
    return std::make_unique<TDiscFile>(Image, entry.Locator, entry.Size);
  }

  // Lists the whole tree, Rock Ridge names first, else Joliet names, else plain ones.
  bool ListTree(std::string& error) {
    std::vector<TRecord> root;
    if (iso9660_ifs_get_joliet_level(Image->Handle) > 0) {
      // The Rock Ridge names are in the primary tree; the Joliet names in a tree of their own.
      if (iso9660_ifs_read_superblock(Image->Handle, kNoJoliet) && ReadRoot(root) &&
          std::any_of(root.begin(), root.end(), [](const TRecord& r) { return r.RockRidge; }))
        return ListFolder("", "/", root, 0, 0, error);
      iso9660_ifs_read_superblock(Image->Handle, ISO_EXTENSION_ALL);
    }
    if (!ReadRoot(root)) {
      error = "its root folder cannot be read (a damaged or cut-short image)";
      return false;
    }
    return ListFolder("", "/", root, 0, 0, error);
  }

 private:
  // Whether the folder extent is all whole directory records, each inside its sector with
  // its name inside the record: libiso9660 trusts those lengths.
  bool SoundFolder(uint64_t first, uint64_t size) {
    if (size == 0 || size > kMaxFolderBytes) return false;
    std::vector<uint8_t> bytes(SectorsOf(size) * kSector);
    if (!Image->Read(first, SectorsOf(size), bytes.data())) return false;
    for (size_t sector = 0; sector < bytes.size(); sector += kSector) {
      for (size_t at = 0; at < kSector;) {
        const uint8_t* record = bytes.data() + sector + at;
        if (record[0] == 0) break;  // the rest of the sector is padding
        const size_t length = record[0];
        if (length < 34 || at + length > kSector || size_t{33} + record[32] > length)
          return false;
        at += length;
      }
    }
    return true;
  }

  bool ReadRecords(const std::string& raw, uint64_t first, uint64_t size,
                   std::vector<TRecord>& records) {
    records.clear();
    if (!SoundFolder(first, size)) return false;
    CdioList_t* list = iso9660_ifs_readdir(Image->Handle, raw.c_str());
    if (!list) return false;
    CdioListNode_t* node;
    _CDIO_LIST_FOREACH(node, list) {
      const auto* stat = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
      TRecord record;
      record.Raw = stat->filename;
      record.First = stat->lsn;
      record.Size = stat->size;
      record.Folder = stat->type == iso9660_stat_s::_STAT_DIR;
      record.RockRidge = stat->rr.b3_rock == yep;
      const auto type = stat->rr.st_mode & S_IFMT;
      record.Link = record.RockRidge && (stat->rr.psz_symlink || (type != S_IFREG &&
                                                                  type != S_IFDIR && type != 0));
      records.push_back(std::move(record));
    }
    iso9660_filelist_free(list);
    return true;
  }

  bool ReadRoot(std::vector<TRecord>& records) {
    iso9660_stat_t* root = iso9660_ifs_stat(Image->Handle, "/");
    if (!root) return false;
    const uint64_t first = root->lsn, size = root->size;
    iso9660_stat_free(root);
    Visited = {first};
    return ReadRecords("/", first, size, records);
  }

  // Adds the records of the folder `inner` (libiso9660's `raw`) and then lists its folders.
  bool ListFolder(const std::string& inner, const std::string& raw,
                  const std::vector<TRecord>& records, int depth, uint64_t aboveBytes,
                  std::string& error) {
    std::unordered_map<std::string, int> uses;
    for (const TRecord& record : records) ++uses[Folded(record.Raw)];
    std::vector<const TRecord*> folders;
    for (size_t i = 0; i < records.size(); ++i) {
      const TRecord& record = records[i];
      if (i < 2 && (record.Raw == "." || record.Raw == "..")) continue;
      if (++Names > kMaxNames) {
        error = "it holds more than " + std::to_string(kMaxNames) + " names";
        return false;
      }
      TEntry entry;
      entry.Folder = record.Folder;
      entry.Size = record.Folder ? 0 : record.Size;
      entry.Locator = record.First;
      const std::string name = record.RockRidge ? record.Raw : PlainName(record.Raw);
      // Links, doubles (and the pieces of a file of several extents, which libiso9660 lists
      // as doubles), extents past the end, folders too deep or met before (a loop).
      const bool refused =
          record.Link || uses[Folded(record.Raw)] > 1 ||
          record.First + SectorsOf(record.Size) > Image->Sectors ||
          (record.Folder && (depth + 1 >= kMaxDepth || Visited.contains(record.First)));
      if (refused) {
        Skipped.push_back(inner.empty() ? name : inner + "/" + name);
        continue;
      }
      if (Add(inner, name, entry).empty()) continue;
      if (record.Folder) {
        Visited.insert(record.First);
        folders.push_back(&record);
      }
    }
    for (const TRecord* folder : folders) {
      const std::string name = folder->RockRidge ? folder->Raw : PlainName(folder->Raw);
      const std::string innerChild = inner.empty() ? name : inner + "/" + name;
      const uint64_t bytes = aboveBytes + folder->Size;
      ListingBytes += bytes;
      if (ListingBytes > kMaxListingBytes) {
        error = "its folders are too large to list";
        return false;
      }
      std::vector<TRecord> children;
      const std::string rawChild = raw + folder->Raw + "/";
      if (!ReadRecords(rawChild, folder->First, folder->Size, children)) {
        Skipped.push_back(innerChild);  // a damaged folder: listed as empty
        continue;
      }
      if (!ListFolder(innerChild, rawChild, children, depth + 1, bytes, error)) return false;
    }
    return true;
  }

  const std::shared_ptr<TImage> Image;
  std::unordered_set<uint64_t> Visited;  // folder extents already listed
  uint64_t Names = 0, ListingBytes = 0;
};

// Where the ISO 9660 data lies for an image of `sort` at `path`.
struct TLayout {
  std::string File;
  bool Raw = false;
  uint64_t Sectors = 0;
};

bool FindLayout(const std::string& path, TContainerSort sort, TLayout& layout,
                std::string& error) {
  layout.File = path;
  uint64_t frameSize = kSector, end = 0, start = 0;
  if (sort != TContainerSort::IsoImage) {
    const std::string cue = sort == TContainerSort::CueSheet ? path : CueSheetBeside(path);
    TCueDataTrack track;
    if (!cue.empty() && !ReadCueSheet(cue, track, error)) return false;
    layout.File = cue.empty() ? path : track.BinPath;
    frameSize = cue.empty() ? CD_FRAMESIZE_RAW : track.FrameSize;
    start = track.StartFrame;
    end = track.EndFrame;
  }
  layout.Raw = frameSize != kSector || start != 0;
  const TFileInfo info = FileInfoOf(layout.File);
  if (info.Kind != TFileKind::Regular) {
    error = "cannot read " + layout.File;
    return false;
  }
  uint64_t frames = info.Size / frameSize;
  if (end != 0) frames = std::min(frames, end);
  layout.Sectors = frames > start ? frames - start : 0;
  return true;
}

}  // namespace

std::shared_ptr<TContainer> OpenDiscImage(const std::string& path, TContainerSort sort,
                                          std::string& error) {
  QuietLibrary();
  if (ContainerOf(path)) {
    error = "a disc image inside another image or archive cannot be read";
    return nullptr;
  }
  TLayout layout;
  if (!FindLayout(path, sort, layout, error)) return nullptr;
  iso9660_t* handle = layout.Raw
                          ? iso9660_open_fuzzy_ext(layout.File.c_str(), ISO_EXTENSION_ALL, kFuzz)
                          : iso9660_open_ext(layout.File.c_str(), ISO_EXTENSION_ALL);
  // The raw reader finds the sector layout but reads no Joliet descriptor while it does.
  if (handle && layout.Raw && !iso9660_ifs_read_superblock(handle, ISO_EXTENSION_ALL))
    iso9660_ifs_read_superblock(handle, kNoJoliet);
  if (!handle) {
    error = layout.Raw ? "no ISO 9660 data track in " + layout.File
                       : "no ISO 9660 volume descriptor: not a disc image, or a damaged one";
    return nullptr;
  }
  auto image = std::make_shared<TImage>(handle, layout.Sectors, layout.Raw);
  auto container = std::make_shared<TDiscImage>(image);
  container->Kind = sort == TContainerSort::IsoImage ? "ISO 9660 image" : "BIN/CUE image";
  cdio_utf8_t* label = nullptr;
  if (iso9660_ifs_get_volume_id(handle, &label)) container->Label = Trimmed(label);
  std::free(label);
  if (!container->ListTree(error)) return nullptr;
  return container;
}
