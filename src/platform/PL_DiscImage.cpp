// ISO 9660 disc images and BIN/CUE images, read in place with libcdio: libiso9660 lists the
// folders (with Rock Ridge and Joliet names) and reads the sectors of an .iso; libcdio's
// BIN/CUE driver reads the 2048 bytes of data out of each raw sector of a .bin, mode 1 or
// mode 2 form 1. The whole tree is listed when the image opens; files are then read by sector.
#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>
extern "C" {  // the one libcdio header without C++ guards
#include <cdio/utf8.h>
}
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/PL_CueSheet.h"
#include "platform/PL_Files.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSector = ISO_BLOCKSIZE;
// Hostile images must not keep the reader busy or its memory full: a disc of that era has
// some thousands of names in folders of a few sectors, a few levels deep.
constexpr int kMaxDepth = 64;
constexpr uint64_t kMaxNames = 1'000'000;
constexpr uint64_t kMaxFolderBytes = 16 << 20;
// libiso9660 finds a folder by reading every folder above it again.
constexpr uint64_t kMaxListingBytes = uint64_t{1} << 30;
// Burning tools pad a volume with up to 150 sectors (2 seconds of disc) that rips may leave out.
constexpr uint64_t kPaddingSectors = 150;
constexpr uint64_t kChunkSectors = 16;  // what a small read fetches: 32 KiB
constexpr iso_extension_mask_t kNoJoliet = ISO_EXTENSION_ALL & ~ISO_EXTENSION_JOLIET;

// libcdio writes its warnings about damaged images to stderr; the reader says what matters.
void QuietLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { cdio_log_set_handler([](cdio_log_level_t, const char*) {}); });
}

// A volume id as a label to show: without the padding, and without control characters, which
// would act on a terminal.
std::string LabelOf(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\0'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  text.erase(0, std::find_if_not(text.begin(), text.end(), blank) - text.begin());
  std::replace_if(
      text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; }, '?');
  return text;
}

uint64_t SectorsOf(uint64_t bytes) { return (bytes + kSector - 1) / kSector; }

// What reads an image's sectors and lists its folders: libiso9660 on an .iso, libcdio's
// BIN/CUE driver on a .bin.
class TReader {
 public:
  virtual ~TReader() = default;
  virtual bool Read(uint64_t first, uint64_t count, void* buffer) = 0;
  // Lists the tree with the Joliet names, or the primary tree (plain or Rock Ridge names).
  virtual bool ChooseTree(bool joliet) = 0;
  virtual iso9660_stat_t* Stat(const char* path) = 0;
  virtual CdioList_t* List(const char* path) = 0;
};

class TIsoReader : public TReader {
 public:
  explicit TIsoReader(iso9660_t* iso) : Iso(iso) {}
  ~TIsoReader() override { iso9660_close(Iso); }
  bool Read(uint64_t first, uint64_t count, void* buffer) override {
    const long read =
        iso9660_iso_seek_read(Iso, buffer, static_cast<lsn_t>(first), static_cast<long>(count));
    return read >= 0 && static_cast<uint64_t>(read) == count * kSector;
  }
  bool ChooseTree(bool joliet) override {
    return iso9660_ifs_read_superblock(Iso, joliet ? ISO_EXTENSION_ALL : kNoJoliet);
  }
  iso9660_stat_t* Stat(const char* path) override { return iso9660_ifs_stat(Iso, path); }
  CdioList_t* List(const char* path) override { return iso9660_ifs_readdir(Iso, path); }

 private:
  iso9660_t* const Iso;
};

class TCueReader : public TReader {
 public:
  explicit TCueReader(CdIo_t* cd) : Cd(cd) {}
  ~TCueReader() override { cdio_destroy(Cd); }
  bool Read(uint64_t first, uint64_t count, void* buffer) override {
    return cdio_read_data_sectors(Cd, buffer, static_cast<lsn_t>(first), kSector,
                                  static_cast<uint32_t>(count)) == DRIVER_OP_SUCCESS;
  }
  bool ChooseTree(bool joliet) override {
    return iso9660_fs_read_superblock(Cd, joliet ? ISO_EXTENSION_ALL : kNoJoliet);
  }
  iso9660_stat_t* Stat(const char* path) override { return iso9660_fs_stat(Cd, path); }
  CdioList_t* List(const char* path) override { return iso9660_fs_readdir(Cd, path); }

 private:
  CdIo_t* const Cd;
};

// The open image, shared by the container and its open files; libcdio handles must not be
// used from two threads at once.
class TImage {
 public:
  TImage(std::unique_ptr<TReader> reader, uint64_t sectors)
      : Reader(std::move(reader)), Sectors(sectors) {}

  // `count` sectors from `first` into `buffer`; false past the end of the image or when the
  // image cannot be read there.
  bool Read(uint64_t first, uint64_t count, void* buffer) {
    if (first > Sectors || count > Sectors - first || count > UINT32_MAX) return false;
    std::lock_guard lock(Lock);
    return Reader->Read(first, count, buffer);
  }

  const std::unique_ptr<TReader> Reader;  // without the lock only while the image opens
  const uint64_t Sectors;

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
      const bool cached = sector >= ChunkFirst && sector < ChunkFirst + ChunkSectors;
      if (!cached && within == 0 && left >= kSector) {  // whole sectors go to the caller
        const uint64_t whole = left / kSector;
        if (!Image->Read(First + sector, whole, out + done)) return -1;
        done += whole * kSector;
        continue;
      }
      if (!cached) {
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

class TDiscImage : public TContainer {
 public:
  explicit TDiscImage(std::shared_ptr<TImage> image) : Image(std::move(image)) {}

  std::unique_ptr<TReadFile> Open(const TEntry& entry, std::string&) override {
    return std::make_unique<TDiscFile>(Image, entry.Locator, entry.Size);
  }

  // Lists the whole tree, Rock Ridge names first, else Joliet names, else plain ones.
  bool ListTree(std::string& error) {
    bool joliet = false;
    ReadDescriptors(joliet);
    // A copy that stopped early would otherwise mount with most of its names left out, each
    // told apart; a rip may lack the few padding sectors at the end, which hold no files.
    if (StatedSectors > Image->Sectors + kPaddingSectors) {
      error = "the image is cut short: it holds " + std::to_string(Image->Sectors * kSector) +
              " of the " + std::to_string(StatedSectors * kSector) +
              " bytes its volume descriptor states";
      return false;
    }
    std::vector<TRecord> root;
    // The Rock Ridge names are in the primary tree; the Joliet names in a tree of their own.
    const auto readRoot = [&](bool jolietTree) {
      JolietTree = jolietTree;
      return Image->Reader->ChooseTree(jolietTree) && ReadRoot(root);
    };
    bool readable = readRoot(false);
    if (joliet && !(readable && std::any_of(root.begin(), root.end(),
                                            [](const TRecord& r) { return r.RockRidge; })))
      readable = readRoot(true) || readRoot(false);
    if (!readable) {
      error = "its root folder cannot be read (a damaged or cut-short image)";
      return false;
    }
    return ListFolder("", "/", root, 0, 0, error);
  }

 private:
  // The label (the Joliet one when there is one) and whether there are Joliet names.
  void ReadDescriptors(bool& joliet) {
    std::vector<uint8_t> sector(kSector);
    std::string primary;
    for (uint64_t at = 16; at < 16 + 32 && Image->Read(at, 1, sector.data()); ++at) {
      if (sector[0] == 255 || std::memcmp(sector.data() + 1, "CD001", 5) != 0) break;
      const char* id = reinterpret_cast<const char*>(sector.data() + 40);
      if (sector[0] == 1 && primary.empty()) {
        primary = LabelOf(std::string(id, 32));
        StatedSectors = uint64_t{sector[80]} | uint64_t{sector[81]} << 8 |
                        uint64_t{sector[82]} << 16 | uint64_t{sector[83]} << 24;
      }
      // A supplementary descriptor whose escape sequence names UCS-2 levels 1 to 3.
      if (sector[0] == 2 && sector[88] == '%' && sector[89] == '/' &&
          (sector[90] == '@' || sector[90] == 'C' || sector[90] == 'E')) {
        joliet = true;
        cdio_utf8_t* utf8 = nullptr;
        if (Label.empty() && cdio_charset_to_utf8(id, 32, &utf8, "UCS-2BE")) Label = LabelOf(utf8);
        std::free(utf8);
      }
    }
    if (Label.empty()) Label = primary;
  }

  // What two records of a folder share when libcdio, looking a folder up by name, would take
  // one for the other: a plain name matches in either letter case and without its version.
  std::string LookupKey(const TRecord& record) const {
    if (record.RockRidge || JolietTree) return record.Raw;
    std::string folded = PlainName(record.Raw);
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return folded;
  }

  // Whether the folder extent is all whole directory records, each inside its sector with
  // its name inside the record: libcdio trusts those lengths.
  bool SoundFolder(uint64_t first, uint64_t size) {
    if (size == 0 || size > kMaxFolderBytes) return false;
    std::vector<uint8_t> bytes(SectorsOf(size) * kSector);
    if (!Image->Read(first, SectorsOf(size), bytes.data())) return false;
    for (size_t sector = 0; sector < bytes.size(); sector += kSector) {
      for (size_t at = 0; at < kSector;) {
        const uint8_t* record = bytes.data() + sector + at;
        if (record[0] == 0) break;  // the rest of the sector is padding
        const size_t length = record[0];
        if (length < 34 || at + length > kSector || size_t{33} + record[32] > length) return false;
        at += length;
      }
    }
    return true;
  }

  bool ReadRecords(const std::string& raw, uint64_t first, uint64_t size,
                   std::vector<TRecord>& records) {
    records.clear();
    if (!SoundFolder(first, size)) return false;
    CdioList_t* list = Image->Reader->List(raw.c_str());
    if (!list) return false;
    CdioListNode_t* node;
    bool whole = true;
    _CDIO_LIST_FOREACH(node, list) {
      const auto* stat = static_cast<const iso9660_stat_t*>(_cdio_list_node_data(node));
      whole = whole && stat;  // libcdio lists a record it could not read as nothing
      if (!whole) continue;
      TRecord record;
      record.Raw = stat->filename;
      record.First = stat->lsn;
      record.Size = stat->size;
      record.Folder = stat->type == iso9660_stat_s::_STAT_DIR;
      record.RockRidge = stat->rr.b3_rock == yep;
      const auto type = stat->rr.st_mode & S_IFMT;
      record.Link = record.RockRidge &&
                    (stat->rr.psz_symlink || (type != S_IFREG && type != S_IFDIR && type != 0));
      records.push_back(std::move(record));
    }
    iso9660_filelist_free(list);
    return whole;
  }

  bool ReadRoot(std::vector<TRecord>& records) {
    iso9660_stat_t* root = Image->Reader->Stat("/");
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
    for (const TRecord& record : records) ++uses[LookupKey(record)];
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
          record.Link || uses[LookupKey(record)] > 1 ||
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
  bool JolietTree = false;               // the names listed are the Joliet ones
  uint64_t StatedSectors = 0;            // the volume's size its primary descriptor states
  std::unordered_set<uint64_t> Visited;  // folder extents already listed
  uint64_t Names = 0, ListingBytes = 0;
};

// libcdio's BIN/CUE driver reads the data of a cue sheet from the .bin named as the sheet is
// ("show.cue" and "show.bin", "SHOW.CUE" and "SHOW.BIN"), whatever file the sheet names.
std::string DriverBinName(const std::string& cue) {
  const std::string stem = cue.substr(0, cue.size() - std::min<size_t>(cue.size(), 4));
  return cue.ends_with(".cue") ? stem + ".bin" : cue.ends_with(".CUE") ? stem + ".BIN" : "";
}

std::unique_ptr<TReader> OpenCue(const std::string& path, TContainerSort sort, uint64_t& sectors,
                                 std::string& error) {
  const std::string cue = sort == TContainerSort::CueSheet ? path : CueSheetBeside(path);
  if (cue.empty()) {
    error = "a raw disc image is read with its cue sheet, and there is no " +
            fs::path(path).stem().string() + ".cue beside it";
    return nullptr;
  }
  std::string bin;
  if (!ReadCueSheet(cue, bin, error)) return nullptr;
  std::error_code ec;
  const std::string own = DriverBinName(cue);
  if (own.empty() || !fs::equivalent(own, bin, ec)) {
    error = "the data track must be in the .bin named as the cue sheet is (" +
            fs::path(cue).stem().string() + (cue.ends_with(".CUE") ? ".BIN" : ".bin") +
            "), but the sheet names " + fs::path(bin).filename().string();
    return nullptr;
  }
  CdIo_t* cd = cdio_open_cue(cue.c_str());
  if (!cd) {
    error = "libcdio cannot read the cue sheet";
    return nullptr;
  }
  const lsn_t last = cdio_get_track_last_lsn(cd, cdio_get_first_track_num(cd));
  sectors = last < 0 ? 0 : static_cast<uint64_t>(last) + 1;
  return std::make_unique<TCueReader>(cd);
}

}  // namespace

std::shared_ptr<TContainer> OpenDiscImage(const std::string& path, TContainerSort sort,
                                          std::string& error) {
  QuietLibrary();
  if (ContainerOf(path)) {
    error = "a disc image inside another image or archive cannot be read";
    return nullptr;
  }
  std::unique_ptr<TReader> reader;
  uint64_t sectors = 0;
  if (sort == TContainerSort::IsoImage) {
    // A damaged Joliet descriptor need not cost the plain names.
    iso9660_t* iso = iso9660_open_ext(path.c_str(), ISO_EXTENSION_ALL);
    if (!iso) iso = iso9660_open_ext(path.c_str(), kNoJoliet);
    if (!iso) {
      error = "no ISO 9660 volume descriptor: not a disc image, or a damaged one";
      return nullptr;
    }
    reader = std::make_unique<TIsoReader>(iso);
    sectors = FileInfoOf(path).Size / kSector;
  } else if (!(reader = OpenCue(path, sort, sectors, error))) {
    return nullptr;
  }
  auto container =
      std::make_shared<TDiscImage>(std::make_shared<TImage>(std::move(reader), sectors));
  container->Kind = sort == TContainerSort::IsoImage ? "ISO 9660 image" : "BIN/CUE image";
  if (!container->ListTree(error)) return nullptr;
  return container;
}
