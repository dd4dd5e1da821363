#include "resource/SE_Resource.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "image/SE_Picture.h"
#include "platform/PL_Files.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"

namespace {

constexpr const char* kNotResourceFile = "Not GameEngine resource file! (Open/Load)";
constexpr const char* kNotFound = " resource not found! (ReadByName, ReadByNumber)";
// Deflate cannot shrink data by more than about 1032 to 1, so a compressed entry that claims
// more is lying; refusing it early spares a pointless allocation.
constexpr uint64_t kMaxInflateRatio = 1032;

[[noreturn]] void Fail(const std::string& what, const char* operation) {
  throw TResourceError(what + " (" + operation + ")");
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

// Where the bytes come from: a file, or a copy in memory for fuzzing and tests. Reads are
// positioned, and the caller has checked that the bytes lie inside Size(); a short read is
// still an error, as the file may have shrunk since it was measured.
class TGEResource::TSource {
 public:
  TSource(std::unique_ptr<TReadFile> file, std::string name)
      : File(std::move(file)), Name(std::move(name)) {}
  uint64_t Size() const { return File->Size(); }
  void ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (File->ReadAt(offset, buffer, count) != static_cast<int64_t>(count))
      Fail("Cannot read resource file " + Name, "ReadByName");
  }

 private:
  std::unique_ptr<TReadFile> File;
  std::string Name;
};

namespace {

std::unique_ptr<TGEResource::TSource> OpenSource(const std::string& path) {
  if (!IsRegularFile(path)) Fail("Cannot open resource file " + path, "Open/Load");
  std::string error;
  std::unique_ptr<TReadFile> file = OpenReadFile(path, error);
  if (!file) Fail("Cannot open resource file " + path + ": " + error, "Open/Load");
  return std::make_unique<TGEResource::TSource>(std::move(file), path);
}

// Inflates a zlib stream to exactly `size` bytes; anything else is a damaged entry.
std::vector<uint8_t> Inflate(const std::vector<uint8_t>& packed, uint32_t size,
                             const char* operation) {
  if (size > packed.size() * kMaxInflateRatio + 64)
    Fail("Compressed resource entry inflates to less than its size", operation);
  // Data entries have no picture limit of their own; a small entry must not claim a gigabyte.
  if (size > kMaxPictureBytes) Fail("Compressed resource entry is larger than 256 MiB", operation);
  std::vector<uint8_t> out(size);
  uint8_t spare = 0;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Fail("zlib could not start inflating", operation);
  z.next_in = const_cast<Bytef*>(packed.data());
  z.avail_in = static_cast<uInt>(packed.size());
  z.next_out = size ? out.data() : &spare;  // zlib refuses a null output pointer
  z.avail_out = size;
  int result = inflate(&z, Z_FINISH);
  bool overlong = false;
  if (result == Z_BUF_ERROR && z.avail_out == 0) {
    // The output is full but the stream goes on: one byte more tells a stream that is too
    // long from one that is cut short.
    z.next_out = &spare;
    z.avail_out = 1;
    result = inflate(&z, Z_FINISH);
    overlong = z.avail_out == 0;
  }
  const uLong produced = z.total_out;
  const std::string message = z.msg ? z.msg : "";
  inflateEnd(&z);
  if (overlong) Fail("Compressed resource entry inflates to more than its size", operation);
  if (result == Z_STREAM_END && produced == size) return out;
  if (result == Z_STREAM_END || (result == Z_BUF_ERROR && produced < size))
    Fail("Compressed resource entry inflates to less than its size", operation);
  if (result == Z_BUF_ERROR) Fail("Compressed resource entry is cut short", operation);
  Fail("Compressed resource entry is damaged" + (message.empty() ? "" : ": " + message),
       operation);
}

}  // namespace

uint64_t RawImageBytes(int32_t width, int32_t height, int32_t pixelBits) {
  if (width < 0 || height < 0 || width > kMaxPictureSide || height > kMaxPictureSide)
    Fail("Raw resource entry has an impossible image size", "ReadByName");
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  switch (pixelBits) {
    case 8:
      return 512 + pixels;
    case 15:
    case 16:
      return pixels * 2;
    case 24:
      return pixels * 3;
    case 32:
      return pixels * 4;
    default:
      Fail("Raw resource entry has unsupported pixel bits " + std::to_string(pixelBits),
           "ReadByName");
  }
}

TGEResource::TGEResource() = default;
TGEResource::~TGEResource() = default;

bool TGEResource::IsOpen() const { return Stream != nullptr; }

bool TGEResource::Open(const std::string& fileName) {
  if (Stream) return true;
  FileName = fileName;
  const std::string path = ResolveScriptPath(fileName);
  // A name refused for leaving the presentation's tree comes back empty: name it as written.
  if (path.empty()) Fail("Cannot open resource file " + Cp1250ToUtf8(fileName), "Open/Load");
  Stream = OpenSource(path);
  return CheckMagic();
}

bool TGEResource::OpenPath(const std::string& path) {
  if (Stream) return true;
  FileName = path;
  Stream = OpenSource(path);
  return CheckMagic();
}

bool TGEResource::OpenMemory(std::vector<uint8_t> bytes, const std::string& name) {
  if (Stream) return true;
  FileName = name;
  Stream = std::make_unique<TSource>(ReadFileOfBytes(std::move(bytes)), name);
  return CheckMagic();
}

bool TGEResource::CheckMagic() {
  const uint64_t size = Stream->Size();
  char magic[kResourceMagicSize] = {};
  if (size >= kResourceMagicSize) Stream->ReadAt(0, magic, kResourceMagicSize);
  if (size < kResourceMagicSize || std::memcmp(magic, kResourceMagic, kResourceMagicSize) != 0) {
    // Left open, the next Open would succeed at once on a file that is no resource file.
    Stream.reset();
    ErrorText = kNotResourceFile;
    return false;
  }
  // A damaged table closes the file again, for the same reason.
  const auto damaged = [this](const char* what) {
    Stream.reset();
    EntryCount = 0;
    Fail(what, "Open/Load");
  };
  uint8_t count[4];
  if (size < kResourceFirstEntry) damaged("Resource file ends inside its header");
  Stream->ReadAt(kResourceMagicSize, count, 4);
  const int32_t entries = static_cast<int32_t>(Get32(count));
  if (entries < 0) damaged("Resource file has a negative entry count");
  if (static_cast<uint64_t>(entries) * kResourceHeaderSize > size - kResourceFirstEntry)
    damaged("Resource file holds fewer entries than it declares");
  EntryCount = entries;
  return true;
}

void TGEResource::Close() {
  Stream.reset();
  EntryCount = 0;
}

TGEResourceHeader TGEResource::ReadHeader(const char* operation) {
  if (kResourceHeaderSize > Stream->Size() - Position)
    Fail("Resource entry header runs past the end of the file", operation);
  uint8_t raw[kResourceHeaderSize];
  Stream->ReadAt(Position, raw, sizeof raw);
  Position += sizeof raw;
  if (raw[0] > kResourceNameCapacity)
    Fail("Resource entry name is longer than 40 characters", operation);
  TGEResourceHeader h;
  h.Name.assign(reinterpret_cast<const char*>(raw + 1), raw[0]);
  h.Kind = raw[41];
  h.PixelBits = static_cast<int32_t>(Get32(raw + 44));
  h.FrameWidth = static_cast<int32_t>(Get32(raw + 48));
  h.FrameHeight = static_cast<int32_t>(Get32(raw + 52));
  h.Reserved56 = static_cast<int32_t>(Get32(raw + 56));
  h.Reserved60 = static_cast<int32_t>(Get32(raw + 60));
  h.Size = Get32(raw + 64);
  h.PackedSize = Get32(raw + 68);
  h.ImageWidth = static_cast<int32_t>(Get32(raw + 72));
  h.ImageHeight = static_cast<int32_t>(Get32(raw + 76));
  h.FrameFlag = raw[80];
  h.Compressed = raw[81] != 0;
  if (h.StoredSize() > Stream->Size() - Position)
    Fail("Resource entry data runs past the end of the file", operation);
  return h;
}

bool TGEResource::Find(const std::string& name, TGEResourceHeader& header,
                       const char* operation) {
  Position = kResourceFirstEntry;
  EntryIndex = 0;
  const std::string wanted = UpperAscii(name);
  while (EntryIndex < EntryCount) {
    header = ReadHeader(operation);
    ++EntryIndex;
    if (UpperAscii(header.Name) == wanted) return true;
    Position += header.StoredSize();
  }
  return false;
}

std::vector<uint8_t> TGEResource::ReadPayload(const TGEResourceHeader& header,
                                              const char* operation) {
  std::vector<uint8_t> stored(header.StoredSize());
  Stream->ReadAt(Position, stored.data(), stored.size());
  Position += stored.size();
  if (!header.Compressed) return stored;
  return Inflate(stored, header.Size, operation);
}

std::vector<TGEResourceHeader> TGEResource::ListEntries() {
  std::vector<TGEResourceHeader> headers;
  if (!Open(FileName)) return headers;
  Position = kResourceFirstEntry;
  for (EntryIndex = 0; EntryIndex < EntryCount; ++EntryIndex) {
    headers.push_back(ReadHeader("ListEntries"));
    Position += headers.back().StoredSize();
  }
  return headers;
}

bool TGEResource::ReadHeaderByName(const std::string& name, TGEResourceHeader& header) {
  if (!Open(FileName)) return false;
  if (!Find(name, header, "ReadByName")) {
    header = TGEResourceHeader{};
    ErrorText = name + kNotFound;
    return false;
  }
  return true;
}

bool TGEResource::ReadPayloadByName(const std::string& name, TGEResourceHeader& header,
                                    std::vector<uint8_t>& payload) {
  payload.clear();
  if (!ReadHeaderByName(name, header)) return false;
  payload = ReadPayload(header, "ReadByName");
  return true;
}

bool TGEResource::ReadByName(const std::string& name, TGEResourceEntry& entry) {
  entry = TGEResourceEntry{};
  TGEResourceHeader header;
  if (!ReadHeaderByName(name, header)) return false;
  static_cast<TGEResourceHeader&>(entry) = header;
  // 3D objects are stored as raw entries too, with no image fields at all; only a block that
  // describes pixels must hold them.
  const bool describesImage = entry.PixelBits != 0 || entry.ImageWidth != 0 ||
                              entry.ImageHeight != 0;
  if (entry.Kind == kResourceRaw && describesImage) CheckRawPicture(entry);
  if (entry.Kind >= kResourceBmp && entry.Kind <= kResourceData5)
    LoadByKind(entry, ReadPayload(header, "ReadByName"));
  return true;
}

std::string TGEResource::EntryLabel(const TGEResourceHeader& header) const {
  return FileName + " entry " + header.Name;
}

// A compressed block of a few hundred kilobytes can claim a gigabyte, so the claim is judged
// before anything is read or inflated.
void TGEResource::CheckRawPicture(const TGEResourceHeader& header) const {
  if (RawImageBytes(header.ImageWidth, header.ImageHeight, header.PixelBits) > header.Size)
    Fail("Raw resource entry is smaller than its image", "ReadByName");
  if (!PictureFits(header.ImageWidth, header.ImageHeight))
    throw TResourceError(
        TPictureTooLarge(EntryLabel(header), header.ImageWidth, header.ImageHeight).what());
  if (header.Size > PictureByteLimit())
    throw TResourceError("picture too large: " + EntryLabel(header) + " holds " +
                         std::to_string(header.Size) + " bytes, more than the " +
                         PictureLimitText() + " limit");
}

void TGEResource::LoadByKind(TGEResourceEntry& entry, std::vector<uint8_t> payload) {
  if (entry.Kind != kResourceBmp && entry.Kind != kResourceJpeg) {
    entry.Data = std::move(payload);
    return;
  }
  auto image = std::make_unique<TBitmap24>();
  try {
    if (entry.Kind == kResourceBmp)
      DecodeBmp(payload.data(), payload.size(), *image);
    else
      DecodeJpeg(payload.data(), payload.size(), *image);
  } catch (const TPictureTooLarge& e) {
    throw TResourceError(e.Naming(EntryLabel(entry)).what());
  } catch (const TPictureError& e) {
    throw TResourceError("Resource entry " + entry.Name + ": " + e.what());
  }
  // Sprites size their pixel blocks from the header, so it must agree with the picture.
  if (image->Width != entry.ImageWidth || image->Height != entry.ImageHeight)
    Fail("Resource entry picture size differs from its header", "ReadByName");
  ReportPictureDamage(EntryLabel(entry), *image);
  entry.Image = std::move(image);
}

// ---------------------------------------------------------------------------------------------
// Writing

namespace {

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> packed(length);
  if (compress2(packed.data(), &length, data.data(), static_cast<uLong>(data.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    Fail("zlib could not compress an entry", "WriteResourceFile");
  packed.resize(length);
  return packed;
}

void AppendEntry(std::vector<uint8_t>& file, const TResourceWriteEntry& e) {
  if (e.Name.size() > kResourceNameCapacity)
    Fail("Resource entry name is longer than 40 characters: " + e.Name, "WriteResourceFile");
  if (e.Payload.size() > 0x7FFFFFFF)
    Fail("Resource entry is too large: " + e.Name, "WriteResourceFile");
  const bool compress = e.Compress && e.Kind >= kResourceRaw && e.Kind <= kResourceData5;
  const std::vector<uint8_t> packed = compress ? Deflate(e.Payload) : std::vector<uint8_t>();
  uint8_t raw[kResourceHeaderSize] = {};
  raw[0] = static_cast<uint8_t>(e.Name.size());
  std::memcpy(raw + 1, e.Name.data(), e.Name.size());
  raw[41] = e.Kind;
  Put32(raw + 44, static_cast<uint32_t>(e.PixelBits));
  Put32(raw + 48, static_cast<uint32_t>(e.FrameWidth));
  Put32(raw + 52, static_cast<uint32_t>(e.FrameHeight));
  Put32(raw + 56, static_cast<uint32_t>(e.Reserved56));
  Put32(raw + 60, static_cast<uint32_t>(e.Reserved60));
  Put32(raw + 64, static_cast<uint32_t>(e.Payload.size()));
  Put32(raw + 68, static_cast<uint32_t>(packed.size()));
  Put32(raw + 72, static_cast<uint32_t>(e.ImageWidth));
  Put32(raw + 76, static_cast<uint32_t>(e.ImageHeight));
  raw[80] = e.FrameFlag;
  raw[81] = compress ? 1 : 0;
  file.insert(file.end(), raw, raw + sizeof raw);
  const std::vector<uint8_t>& stored = compress ? packed : e.Payload;
  file.insert(file.end(), stored.begin(), stored.end());
}

}  // namespace

std::vector<uint8_t> BuildResourceFile(const std::vector<TResourceWriteEntry>& entries) {
  if (entries.size() > 0x7FFFFFFF) Fail("Too many resource entries", "WriteResourceFile");
  std::vector<uint8_t> file(kResourceMagic, kResourceMagic + kResourceMagicSize);
  file.resize(kResourceFirstEntry);
  Put32(file.data() + kResourceMagicSize, static_cast<uint32_t>(entries.size()));
  for (const TResourceWriteEntry& e : entries) AppendEntry(file, e);
  return file;
}

void WriteResourceFile(const std::string& path, const std::vector<TResourceWriteEntry>& entries) {
  const std::vector<uint8_t> bytes = BuildResourceFile(entries);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) Fail("Cannot create resource file " + path + ": " + std::strerror(errno),
                  "WriteResourceFile");
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) Fail("Cannot write resource file " + path, "WriteResourceFile");
}
