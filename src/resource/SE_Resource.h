#pragma once
// Resource files (".ger"): named entries holding BMP or JPEG pictures, raw pixel blocks and
// data blocks, optionally zlib-compressed. Sprites, fonts and 3D objects open one, look up an
// entry by name and close it again; the `ger` tool lists, extracts and packs them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/SE_Bitmap24.h"

// Damaged or unreadable resource files: a missing file, a header or entry that runs past the
// end, a compressed entry that does not inflate to its size, a picture that does not decode.
class TResourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr size_t kResourceMagicSize = 14;
constexpr char kResourceMagic[kResourceMagicSize + 1] = "GEResource1.00";
constexpr size_t kResourceHeaderSize = 84;
constexpr size_t kResourceNameCapacity = 40;
constexpr size_t kResourceFirstEntry = kResourceMagicSize + 4;

enum TResourceKind : uint8_t {
  kResourceBmp = 1,
  kResourceJpeg = 2,
  kResourceRaw = 3,  // packed pixels; 8-bit blocks start with 256 16-bit colours
  kResourceData4 = 4,
  kResourceData5 = 5,
};

// The 84-byte entry header as stored.
struct TGEResourceHeader {
  std::string Name;  // code page 1250, at most 40 characters
  uint8_t Kind = 0;
  int32_t PixelBits = 0;
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  // Two values the sprite loader takes over when FrameFlag is set; the reader only carries
  // them, named after their place in the header.
  int32_t Reserved56 = 0;
  int32_t Reserved60 = 0;
  uint32_t Size = 0;        // bytes of data after inflating
  uint32_t PackedSize = 0;  // bytes stored when Compressed
  int32_t ImageWidth = 0;
  int32_t ImageHeight = 0;
  uint8_t FrameFlag = 0;
  bool Compressed = false;

  uint32_t StoredSize() const { return Compressed ? PackedSize : Size; }
};

// An entry as loaded: kinds 1 and 2 bring their decoded picture, kinds 3 to 5 their data.
// The picture always has the header's ImageWidth x ImageHeight, and a raw block that has
// pixel bits or an image size holds at least the bytes its image needs; the reader refuses
// entries that do not. A raw block with neither (a 3D object) is plain data. Pictures and raw
// blocks with an image keep to the picture limit (SE_Picture.h); the header is checked before
// any data is read or inflated.
struct TGEResourceEntry : TGEResourceHeader {
  std::unique_ptr<TBitmap24> Image;
  std::vector<uint8_t> Data;
};

class TGEResource {
 public:
  TGEResource();
  ~TGEResource();
  TGEResource(const TGEResource&) = delete;
  TGEResource& operator=(const TGEResource&) = delete;

  // True at once when a file is open. Otherwise opens `fileName` (a code page 1250 name as
  // scripts write it, resolved like every script path) and checks its magic: false with
  // ErrorText when it is not a resource file. A file that cannot be opened, or whose entry
  // table is damaged, throws TResourceError.
  bool Open(const std::string& fileName);
  // The same for a UTF-8 path taken as it is (command lines, tests).
  bool OpenPath(const std::string& path);
  // The same over bytes in memory.
  bool OpenMemory(std::vector<uint8_t> bytes, const std::string& name = "(memory)");

  // Finds the first entry called `name`, ignoring ASCII letter case, and loads it by kind;
  // entries of other kinds come back with their header only. False with ErrorText (and a
  // cleared entry) when there is none.
  bool ReadByName(const std::string& name, TGEResourceEntry& entry);
  // Finds the entry as ReadByName does but reads its header only.
  bool ReadHeaderByName(const std::string& name, TGEResourceHeader& header);
  // The entry's stored bytes, inflated but not decoded: a BMP or JPEG entry gives its file.
  bool ReadPayloadByName(const std::string& name, TGEResourceHeader& header,
                         std::vector<uint8_t>& payload);
  // Every header in file order.
  std::vector<TGEResourceHeader> ListEntries();

  void Close();
  bool IsOpen() const;

  int32_t EntryCount = 0;
  int32_t EntryIndex = 0;  // headers read by the last search
  std::string FileName;
  std::string ErrorText;

  class TSource;

 private:
  bool CheckMagic();
  bool Find(const std::string& name, TGEResourceHeader& header, const char* operation);
  TGEResourceHeader ReadHeader(const char* operation);
  std::vector<uint8_t> ReadPayload(const TGEResourceHeader& header, const char* operation);
  void CheckRawPicture(const TGEResourceHeader& header) const;
  void LoadByKind(TGEResourceEntry& entry, std::vector<uint8_t> payload);
  // How messages name an entry: the file and the entry's name.
  std::string EntryLabel(const TGEResourceHeader& header) const;

  std::unique_ptr<TSource> Stream;
  uint64_t Position = 0;
};

// An entry to write. The writer fills in Size, PackedSize and Compressed from Payload and
// Compress; compression is honoured for kinds 3 to 5 only.
struct TResourceWriteEntry : TGEResourceHeader {
  std::vector<uint8_t> Payload;
  bool Compress = false;
};

// The bytes of a resource file holding `entries` in order. Names longer than 40 characters
// and payloads of 2 GiB or more throw TResourceError.
std::vector<uint8_t> BuildResourceFile(const std::vector<TResourceWriteEntry>& entries);
void WriteResourceFile(const std::string& path, const std::vector<TResourceWriteEntry>& entries);

// The bytes a raw entry's image needs: w*h*bits/8, plus the 512-byte colour table at 8 bits.
// Throws TResourceError for a depth other than 8, 15, 16, 24 or 32 or a size out of range.
uint64_t RawImageBytes(int32_t width, int32_t height, int32_t pixelBits);
