// ISO 9660 disc images and BIN/CUE images, read in place: libiso9660 reads the sectors of an
// .iso, libcdio's BIN/CUE driver the 2048 bytes of data out of each raw sector of a .bin, mode 1
// or mode 2 form 1; the folders' records (with Rock Ridge and Joliet names) are read here. The
// whole tree is listed when the image opens; files are then read by sector.
#include <cdio/cdio.h>
#include <cdio/iso9660.h>
#include <cdio/logging.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "platform/PL_CueSheet.h"
#include "platform/PL_Files.h"
#include "platform/PL_IsoRecords.h"
#include "platform/PL_Text.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSector = kIsoSector;
// Hostile images must not keep the reader busy or its memory full: a disc of that era has
// some thousands of names in folders of a few sectors, a few levels deep.
constexpr int kMaxDepth = 64;
constexpr uint64_t kMaxNames = 1'000'000;
constexpr uint64_t kMaxFolderBytes = 16 << 20;
// Burning tools pad a volume with up to 150 sectors (2 seconds of disc) that rips may leave out.
constexpr uint64_t kPaddingSectors = 150;
constexpr uint64_t kChunkSectors = 16;  // what a small read fetches: 32 KiB
constexpr size_t kRootRecordAt = 156;   // in a volume descriptor

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

// What reads an image's sectors: libiso9660 on an .iso, libcdio's BIN/CUE driver on a .bin.
class TReader {
 public:
  virtual ~TReader() = default;
  virtual bool Read(uint64_t first, uint64_t count, void* buffer) = 0;
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

 private:
  CdIo_t* const Cd;
};

// The open image, shared by the container and its open files; libcdio handles must not be
// used from two threads at once.
class TImage {
 public:
  TImage(std::unique_ptr<TReader> reader, uint64_t sectors)
      : Sectors(sectors), Reader(std::move(reader)) {}

  // `count` sectors from `first` into `buffer`; false past the end of the image or when the
  // image cannot be read there.
  bool Read(uint64_t first, uint64_t count, void* buffer) {
    if (first > Sectors || count > Sectors - first || count > UINT32_MAX) return false;
    std::lock_guard lock(Lock);
    return Reader->Read(first, count, buffer);
  }

  const uint64_t Sectors;

 private:
  const std::unique_ptr<TReader> Reader;
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

class TDiscImage : public TContainer {
 public:
  explicit TDiscImage(std::shared_ptr<TImage> image) : Image(std::move(image)) {}

  std::unique_ptr<TReadFile> Open(const TEntry& entry, std::string&) override {
    return std::make_unique<TDiscFile>(Image, entry.Locator, entry.Size);
  }

  // Lists the whole tree, Rock Ridge names first, else Joliet names, else plain ones.
  bool ListTree(std::string& error) {
    ReadDescriptors();
    // A copy that stopped early would otherwise mount with most of its names left out, each
    // told apart; a rip may lack the few padding sectors at the end, which hold no files.
    if (StatedSectors > Image->Sectors + kPaddingSectors) {
      error = "the image is cut short: it holds " + std::to_string(Image->Sectors * kSector) +
              " of the " + std::to_string(StatedSectors * kSector) +
              " bytes its volume descriptor states";
      return false;
    }
    std::vector<TIsoRecord> root;
    // The Rock Ridge names are in the primary tree; the Joliet names in a tree of their own.
    const auto readRoot = [&](bool jolietTree) {
      Joliet = jolietTree;
      const TIsoRecord& record = jolietTree ? *JolietRoot : *PrimaryRoot;
      Visited = {record.First};
      return ReadFolder(record, root);
    };
    bool readable = PrimaryRoot && readRoot(false);
    if (JolietRoot && !(readable && std::any_of(root.begin(), root.end(),
                                                [](const TIsoRecord& r) { return r.RockRidge; })))
      readable = readRoot(true) || (PrimaryRoot && readRoot(false));
    if (!readable) {
      error = "its root folder cannot be read (a damaged or cut-short image)";
      return false;
    }
    return ListFolder("", root, 0, error);
  }

 private:
  // The label (the Joliet one when there is one) and the roots of the two trees.
  void ReadDescriptors() {
    std::vector<uint8_t> sector(kSector);
    std::string primary;
    for (uint64_t at = 16; at < 16 + 32 && Image->Read(at, 1, sector.data()); ++at) {
      if (sector[0] == 255 || std::memcmp(sector.data() + 1, "CD001", 5) != 0) break;
      const char* id = reinterpret_cast<const char*>(sector.data() + 40);
      const auto root = std::span(sector).subspan<kRootRecordAt, 34>();
      if (sector[0] == 1 && !PrimaryRoot) {
        PrimaryRoot = IsoRootRecord(root);
        primary = LabelOf(std::string(id, 32));
        StatedSectors = IsoNumber(sector.data() + 80);
      }
      // A supplementary descriptor whose escape sequence names UCS-2 levels 1 to 3.
      if (sector[0] == 2 && !JolietRoot && sector[88] == '%' && sector[89] == '/' &&
          (sector[90] == '@' || sector[90] == 'C' || sector[90] == 'E')) {
        JolietRoot = IsoRootRecord(root);
        Label = LabelOf(Utf16BeToUtf8(std::string_view(id, 32)));
      }
    }
    if (Label.empty()) Label = primary;
  }

  // Two records of a folder that a lookup would take one for the other: a plain name matches
  // in either letter case.
  static std::string LookupKey(const TIsoRecord& record) {
    std::string key = record.Name;
    if (record.Plain)
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
  }

  bool ReadFolder(const TIsoRecord& folder, std::vector<TIsoRecord>& records) {
    const uint64_t size = folder.Size;
    if (size == 0 || size > kMaxFolderBytes) return false;
    std::vector<uint8_t> bytes(SectorsOf(size) * kSector);
    if (!Image->Read(folder.First, SectorsOf(size), bytes.data())) return false;
    const auto read = [this](uint64_t sector, uint8_t* out) { return Image->Read(sector, 1, out); };
    return ReadIsoRecords(bytes, Joliet, read, records);
  }

  // Adds the records of the folder `inner` and then lists its folders.
  bool ListFolder(const std::string& inner, const std::vector<TIsoRecord>& records, int depth,
                  std::string& error) {
    std::unordered_map<std::string, int> uses;
    for (const TIsoRecord& record : records) ++uses[LookupKey(record)];
    std::vector<const TIsoRecord*> folders;
    for (size_t i = 0; i < records.size(); ++i) {
      const TIsoRecord& record = records[i];
      if (i < 2 && (record.Name == "." || record.Name == "..")) continue;
      if (++Names > kMaxNames) {
        error = "it holds more than " + std::to_string(kMaxNames) + " names";
        return false;
      }
      TEntry entry;
      entry.Folder = record.Folder;
      entry.Size = record.Folder ? 0 : record.Size;
      entry.Locator = record.First;
      // Links, doubles (and the pieces of a file of several extents, which share its name),
      // extents past the end, folders too deep or met before (a loop).
      const bool refused =
          record.Link || record.Piece || uses[LookupKey(record)] > 1 ||
          record.First + SectorsOf(record.Size) > Image->Sectors ||
          (record.Folder && (depth + 1 >= kMaxDepth || Visited.contains(record.First)));
      if (refused) {
        Skipped.push_back(inner.empty() ? record.Name : inner + "/" + record.Name);
        continue;
      }
      if (Add(inner, record.Name, entry).empty()) continue;
      if (record.Folder) {
        Visited.insert(record.First);
        folders.push_back(&record);
      }
    }
    for (const TIsoRecord* folder : folders) {
      const std::string innerChild = inner.empty() ? folder->Name : inner + "/" + folder->Name;
      std::vector<TIsoRecord> children;
      if (!ReadFolder(*folder, children)) {
        Skipped.push_back(innerChild);  // a damaged folder: listed as empty
        continue;
      }
      if (!ListFolder(innerChild, children, depth + 1, error)) return false;
    }
    return true;
  }

  const std::shared_ptr<TImage> Image;
  std::optional<TIsoRecord> PrimaryRoot, JolietRoot;
  bool Joliet = false;                   // the names listed are the Joliet ones
  uint64_t StatedSectors = 0;            // the volume's size its primary descriptor states
  std::unordered_set<uint64_t> Visited;  // folder extents already listed
  uint64_t Names = 0;
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
    // libiso9660 checks the primary descriptor; the reader finds the Joliet one itself.
    iso9660_t* iso = iso9660_open_ext(path.c_str(), ISO_EXTENSION_NONE);
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
