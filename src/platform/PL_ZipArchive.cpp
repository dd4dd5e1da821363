// Zip archives read in place with libzip. The archive's bytes come through the file layer, so
// an archive inside a mounted disc image opens like one on disk, and nothing is ever written.
// Archives from the outside are hostile until proven otherwise: names that would step out of
// the archive are not taken, an entry that claims more than deflate can give refuses the
// whole archive, and no read returns more than an entry's stated size or bytes that failed
// their check.
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>

#include "platform/PL_Files.h"
#include "platform/PL_Text.h"

namespace {

// Deflate gives at most about 1032 bytes for one (a run of 258-byte matches in 2 bits each);
// the slack covers the headers and first literals of a tiny stream.
constexpr uint64_t kDeflateMostRatio = 1032;
constexpr uint64_t kRatioSlack = 4096;
constexpr uint64_t kLargestEntry = uint64_t{4} << 30;
// Entries up to this size are read whole on their first read and kept: pictures and scripts
// are read whole anyway, and the whole read checks the CRC.
constexpr uint64_t kWholeLimit = uint64_t{8} << 20;
// Inflating in steps keeps the archive's lock short for a sound streamed from the same archive.
constexpr size_t kStep = 256 << 10;
// A deflated stream keeps the last bytes it gave, so a reader that steps back a little (a
// demuxer probing, a parser re-reading a header) does not inflate from the start again.
constexpr size_t kKeepBehind = 1 << 20;
constexpr ptrdiff_t kLongestLabel = 32;  // characters

// libzip reads the archive through the file layer.
struct TSourceState {
  std::unique_ptr<TReadFile> File;
  uint64_t Position = 0;
  zip_error_t Error{};
};

zip_int64_t ReadSource(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t cmd) {
  auto* state = static_cast<TSourceState*>(userdata);
  switch (cmd) {
    case ZIP_SOURCE_OPEN:
      state->Position = 0;
      return 0;
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_READ: {
      const uint64_t size = state->File->Size();
      const uint64_t count = state->Position >= size ? 0 : std::min(length, size - state->Position);
      const int64_t got = state->File->ReadAt(state->Position, data, static_cast<size_t>(count));
      if (got < 0) {
        zip_error_set(&state->Error, ZIP_ER_READ, EIO);
        return -1;
      }
      state->Position += static_cast<uint64_t>(got);
      return got;
    }
    case ZIP_SOURCE_SEEK: {
      const zip_int64_t to = zip_source_seek_compute_offset(state->Position, state->File->Size(),
                                                            data, length, &state->Error);
      if (to < 0) {
        // Only a directory that points past the file's end seeks there.
        zip_error_set(&state->Error, ZIP_ER_SEEK, EINVAL);
        return -1;
      }
      state->Position = static_cast<uint64_t>(to);
      return 0;
    }
    case ZIP_SOURCE_TELL:
      return static_cast<zip_int64_t>(state->Position);
    case ZIP_SOURCE_STAT: {
      auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &state->Error);
      if (!st) return -1;
      zip_stat_init(st);
      st->size = state->File->Size();
      st->valid |= ZIP_STAT_SIZE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&state->Error, data, length);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&state->Error);
      delete state;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return ZIP_SOURCE_SUPPORTS_SEEKABLE;
    default:
      zip_error_set(&state->Error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// libzip's error codes as the player words them.
std::string Reason(const zip_error_t& error) {
  switch (error.zip_err) {
    case ZIP_ER_NOZIP:
      return "not a zip archive (it has no directory of its contents)";
    case ZIP_ER_INCONS:
      return "the archive is damaged (its directory does not match its contents)";
    case ZIP_ER_EOF:
    case ZIP_ER_SEEK:
      return "the archive is truncated or damaged";
    case ZIP_ER_MULTIDISK:
      return "one part of an archive split over several files";
    case ZIP_ER_CRC:
      return "damaged data (checksum mismatch)";
    case ZIP_ER_COMPNOTSUPP:
      return "compressed by a method this player cannot unpack";
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
      return "encrypted";
    case ZIP_ER_MEMORY:
      return "out of memory";
    case ZIP_ER_READ:
      return "read error";
    case ZIP_ER_ZLIB:
      return "damaged compressed data";
    default: {
      zip_error_t copy;
      zip_error_init_with_code(&copy, error.zip_err);
      std::string text = zip_error_strerror(&copy);
      zip_error_fini(&copy);
      if (!text.empty()) text[0] = static_cast<char>(std::tolower(text[0]));
      return text;
    }
  }
}

// One open archive; its zip_t is not thread-safe, so every use holds Lock.
struct TArchive {
  std::mutex Lock;
  zip_t* Zip = nullptr;
  ~TArchive() {
    if (Zip) zip_discard(Zip);
  }
};

struct TFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using TZipFile = std::unique_ptr<zip_file_t, TFileCloser>;

class TZipEntryFile : public TReadFile {
 public:
  // `stream` is the entry opened at its start, under the archive's lock.
  TZipEntryFile(std::shared_ptr<TArchive> archive, uint64_t index, uint64_t size, bool stored,
                TZipFile stream)
      : Archive(std::move(archive)),
        Index(index),
        Length(size),
        Stored(stored),
        Stream(std::move(stream)) {}
  ~TZipEntryFile() override {
    std::lock_guard lock(Archive->Lock);
    Stream.reset();  // libzip's file handles use the archive: closed under its lock
  }
  uint64_t Size() const override { return Length; }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t count) override {
    std::lock_guard own(Own);
    if (Failed) return -1;
    if (offset >= Length) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, Length - offset));
    const bool ok = Length <= kWholeLimit ? ReadWhole(offset, buffer, count)
                    : Stored              ? ReadStored(offset, buffer, count)
                                          : ReadStreamed(offset, buffer, count);
    if (!ok) {
      Failed = true;
      Whole.clear();
      Behind.clear();
      return -1;
    }
    return static_cast<int64_t>(count);
  }

 private:
  bool Reopen() {
    std::lock_guard lock(Archive->Lock);
    Stream.reset(zip_fopen_index(Archive->Zip, Index, 0));
    Position = 0;
    Behind.clear();
    return Stream != nullptr;
  }

  // The next step of the entry after Position, appended to Behind. False when the data ends
  // before the stated size, runs past it, or fails its CRC.
  bool Advance() {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kStep, Length - Position));
    const size_t start = Behind.size();
    Behind.resize(start + want);
    std::lock_guard lock(Archive->Lock);
    const zip_int64_t got = zip_fread(Stream.get(), Behind.data() + start, want);
    if (got <= 0) return false;
    Behind.resize(start + static_cast<size_t>(got));
    Position += static_cast<uint64_t>(got);
    return Position < Length || EndsThere();
  }

  // Reading on at the stated end makes libzip check that the data ends there and, when the
  // entry was read from its start in one pass, its CRC; under the archive's lock.
  bool EndsThere() {
    uint8_t extra;
    return zip_fread(Stream.get(), &extra, 1) == 0;
  }

  bool ReadWhole(uint64_t offset, void* buffer, size_t count) {
    if (Whole.empty()) {
      if ((!Stream || Position > 0) && !Reopen()) return false;
      while (Position < Length)
        if (!Advance()) return false;
      Whole = std::move(Behind);
      std::lock_guard lock(Archive->Lock);
      Stream.reset();
    }
    std::memcpy(buffer, Whole.data() + offset, count);
    return true;
  }

  bool ReadStored(uint64_t offset, void* buffer, size_t count) {
    if (!Stream && !Reopen()) return false;
    std::lock_guard lock(Archive->Lock);
    if (zip_fseek(Stream.get(), static_cast<zip_int64_t>(offset), SEEK_SET) != 0) return false;
    size_t done = 0;
    while (done < count) {
      const zip_int64_t got =
          zip_fread(Stream.get(), static_cast<char*>(buffer) + done, count - done);
      if (got <= 0) return false;
      done += static_cast<size_t>(got);
    }
    return offset + count < Length || EndsThere();
  }

  bool ReadStreamed(uint64_t offset, void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
      const uint64_t at = offset + done;
      const uint64_t behindStart = Position - Behind.size();
      if (!Stream || at < behindStart) {
        if (!Reopen()) return false;
      } else if (at < Position) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(count - done, Position - at));
        std::memcpy(static_cast<char*>(buffer) + done, Behind.data() + (at - behindStart), take);
        done += take;
      } else {
        if (Behind.size() >= 2 * kKeepBehind)
          Behind.erase(Behind.begin(), Behind.end() - kKeepBehind);
        if (!Advance()) return false;
      }
    }
    return true;
  }

  std::shared_ptr<TArchive> Archive;
  const uint64_t Index, Length;
  const bool Stored;
  std::mutex Own;  // one reader of this file at a time
  TZipFile Stream;
  uint64_t Position = 0;        // of Stream, in the entry's bytes
  std::vector<uint8_t> Behind;  // the bytes just before Position
  std::vector<uint8_t> Whole;   // a small entry, once read
  bool Failed = false;          // damaged data stays an error: no retry hands out other bytes
};

class TZipArchive : public TContainer {
 public:
  explicit TZipArchive(std::shared_ptr<TArchive> archive) : Archive(std::move(archive)) {
    Kind = "zip archive";
  }
  std::unique_ptr<TReadFile> Open(const TEntry& entry, std::string& error) override {
    zip_stat_t st;
    std::lock_guard lock(Archive->Lock);
    if (zip_stat_index(Archive->Zip, entry.Locator, 0, &st) != 0) {
      error = Reason(*zip_get_error(Archive->Zip));
      return nullptr;
    }
    // libzip seeks a stored entry within what its header states, whatever the archive holds.
    if (st.comp_method == ZIP_CM_STORE && st.comp_size != st.size) {
      error = "damaged entry (its stored and stated sizes differ)";
      return nullptr;
    }
    // Opening reads the entry's own header, so an entry the directory points wrongly at is
    // told here, by name, rather than as a read error later.
    TZipFile stream(zip_fopen_index(Archive->Zip, entry.Locator, 0));
    if (!stream) {
      error = Reason(*zip_get_error(Archive->Zip));
      return nullptr;
    }
    return std::make_unique<TZipEntryFile>(Archive, entry.Locator, entry.Size,
                                           st.comp_method == ZIP_CM_STORE, std::move(stream));
  }
  // Adds the entry `name` of the archive, making the folders its path implies; false when
  // the name is not taken.
  bool AddPath(const std::string& name, TEntry entry);

 private:
  std::shared_ptr<TArchive> Archive;
};

bool TZipArchive::AddPath(const std::string& name, TEntry entry) {
  // Old Windows zippers wrote "\" between names. A rooted name or one with a drive letter
  // would land elsewhere when unpacked: such names are refused, not trimmed into the tree.
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  const bool folder = !path.empty() && path.back() == '/';
  if (folder) path.pop_back();
  if (path.empty() || path[0] == '/' || (path.size() >= 2 && path[1] == ':')) return false;
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t end = path.find('/', start);
    const std::string part = path.substr(start, end - start);
    if (part.empty() || part == "..") return false;
    if (part != ".") parts.push_back(part);  // "./A.BMP" is A.BMP
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (parts.empty()) return false;
  std::string at;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::string next = at.empty() ? parts[i] : at + "/" + parts[i];
    const TEntry* existing = Find(next);
    if (!existing) {
      TEntry implied;
      implied.Folder = true;
      if (Add(at, parts[i], std::move(implied)).empty()) return true;  // Add recorded it
    } else if (!existing->Folder) {
      Skipped.push_back(name);
      return true;
    }
    at = next;
  }
  // An explicit folder that a file's path already implied is no double.
  const TEntry* existing = Find(at.empty() ? parts.back() : at + "/" + parts.back());
  if (folder && existing && existing->Folder) return true;
  Add(at, parts.back(), std::move(entry));
  return true;
}

// Names and comments in UTF-8. Those marked as UTF-8, or valid UTF-8 (some tools write it
// without the mark), are taken as they are; the rest were written by DOS and Windows tools in
// their DOS code page, which for the Central European Windows the presentations were made on
// is 852 (libzip would take 437 and garble "ő" and "ű").
std::string ToUtf8(std::string raw) { return IsValidUtf8(raw) ? raw : Cp852ToUtf8(raw); }

std::string ArchiveLabel(zip_t* zip) {
  int length = 0;
  const char* comment = zip_get_archive_comment(zip, &length, ZIP_FL_ENC_RAW);
  if (!comment) return "";
  std::string line = ToUtf8(std::string(comment, static_cast<size_t>(std::max(length, 0))));
  line = line.substr(0, line.find_first_of("\r\n"));
  while (!line.empty() && line.back() == ' ') line.pop_back();
  const bool printable = std::none_of(line.begin(), line.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  });
  const auto characters = std::count_if(line.begin(), line.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  });
  return printable && characters <= kLongestLabel ? line : "";
}

}  // namespace

std::shared_ptr<TContainer> OpenZipArchive(const std::string& path, std::string& error) {
  auto* state = new TSourceState;
  state->File = OpenReadFile(path, error);
  if (!state->File) {
    delete state;
    return nullptr;
  }
  // An archive cut short has lost the directory at its end; it still starts as one.
  uint8_t head[4] = {};
  const bool startsAsZip =
      state->File->ReadAt(0, head, 4) == 4 && std::memcmp(head, "PK\3\4", 4) == 0;
  zip_error_init(&state->Error);
  zip_error_t failure;
  zip_error_init(&failure);
  zip_source_t* source = zip_source_function_create(ReadSource, state, &failure);
  if (!source) {
    zip_error_fini(&state->Error);
    delete state;
    error = Reason(failure);
    zip_error_fini(&failure);
    return nullptr;
  }
  auto archive = std::make_shared<TArchive>();
  archive->Zip = zip_open_from_source(source, ZIP_RDONLY, &failure);
  if (!archive->Zip) {
    zip_source_free(source);  // frees the state too
    error = startsAsZip && zip_error_code_zip(&failure) == ZIP_ER_NOZIP
                ? "the archive is truncated (the directory at its end is missing)"
                : Reason(failure);
    zip_error_fini(&failure);
    return nullptr;
  }
  zip_error_fini(&failure);

  auto container = std::make_shared<TZipArchive>(archive);
  container->Label = ArchiveLabel(archive->Zip);
  const zip_int64_t count = zip_get_num_entries(archive->Zip, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<uint64_t>(i);
    zip_stat_t st;
    if (zip_stat_index(archive->Zip, index, ZIP_FL_ENC_RAW, &st) != 0) {
      container->Skipped.push_back("entry " + std::to_string(i) + " (unreadable)");
      continue;
    }
    const char* raw = zip_get_name(archive->Zip, index, ZIP_FL_ENC_RAW);
    const std::string name = raw ? ToUtf8(raw) : "";
    if (name.empty()) {
      container->Skipped.push_back("entry " + std::to_string(i) + " (no name)");
      continue;
    }
    const bool folder = name.back() == '/' || name.back() == '\\';
    if (!folder &&
        (st.size > kLargestEntry || (st.comp_method == ZIP_CM_DEFLATE && st.size > kRatioSlack &&
                                     (st.size - kRatioSlack) / kDeflateMostRatio > st.comp_size))) {
      error = "\"" + name + "\" claims " + std::to_string(st.size) + " bytes from " +
              std::to_string(st.comp_size) + " compressed: a zip bomb";
      return nullptr;
    }
    std::string why;
    if (st.encryption_method != ZIP_EM_NONE)
      why = "encrypted";
    else if (!folder && st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE)
      why = "compressed by a method this player cannot unpack";
    if (!why.empty()) {
      container->Skipped.push_back(name + " (" + why + ")");
      continue;
    }
    TContainer::TEntry entry;
    entry.Folder = folder;
    entry.Size = folder ? 0 : st.size;
    entry.Locator = index;
    if (!container->AddPath(name, std::move(entry))) container->Skipped.push_back(name);
  }
  return container;
}
