#include <gtest/gtest.h>

#include "HeapCounter.h"
#include "PictureSamples.h"
#include "TestSupport.h"
#include "image/SE_Picture.h"
#include "platform/PL_Text.h"
#include "resource/SE_Resource.h"

namespace {

const std::string kNotFound = " resource not found! (ReadByName, ReadByNumber)";
// Offsets of the first entry's header fields in a file.
constexpr size_t kFirst = 18, kSizeAt = kFirst + 64, kPackedAt = kFirst + 68,
                 kWidthAt = kFirst + 72, kHeightAt = kFirst + 76, kCompressedAt = kFirst + 81;

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

std::vector<uint8_t> With32(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> 8 * i);
  return bytes;
}

TResourceWriteEntry Entry(const std::string& name, std::vector<uint8_t> payload,
                          uint8_t kind = kResourceData4, bool compress = false, int32_t width = 0,
                          int32_t height = 0, int32_t bits = 0) {
  TResourceWriteEntry e;
  e.Name = name, e.Kind = kind, e.Payload = std::move(payload), e.Compress = compress;
  e.ImageWidth = e.FrameWidth = width, e.ImageHeight = e.FrameHeight = height, e.PixelBits = bits;
  return e;
}

TResourceWriteEntry Raw(const std::string& name, int32_t width, int32_t height, int32_t bits,
                        size_t bytes, bool compress = false) {
  std::vector<uint8_t> pixels(bytes);
  for (size_t i = 0; i < bytes; ++i) pixels[i] = uint8_t(i * 7 + i / 5);
  return Entry(name, pixels, kResourceRaw, compress, width, height, bits);
}

std::vector<uint8_t> Bmp(int32_t width, int32_t height) {
  TBmpFile f(width, height);
  f.Pixels = PackRows(width, height, 24, false,
                      [](int32_t x, int32_t y) { return uint32_t(x * 40 + y * 9000 + 1); });
  return WriteBmp(f);
}

std::unique_ptr<TGEResource> Open(std::vector<uint8_t> bytes) {
  auto resource = std::make_unique<TGEResource>();
  EXPECT_TRUE(resource->OpenMemory(std::move(bytes))) << resource->ErrorText;
  return resource;
}

void ExpectHeader(const TGEResourceHeader& got, const TResourceWriteEntry& want) {
  EXPECT_EQ(
      std::tie(got.Name, got.Kind, got.PixelBits, got.FrameWidth, got.FrameHeight, got.Reserved56,
               got.Reserved60, got.ImageWidth, got.ImageHeight, got.FrameFlag),
      std::tie(want.Name, want.Kind, want.PixelBits, want.FrameWidth, want.FrameHeight,
               want.Reserved56, want.Reserved60, want.ImageWidth, want.ImageHeight,
               want.FrameFlag));
  EXPECT_EQ(got.Size, want.Payload.size());
}

// --- Writing and reading back ---------------------------------------------------------------

TEST(ResourceRoundTrip, EveryKindThroughAFile) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(MakePattern(13, 7));
  std::vector<TResourceWriteEntry> entries = {
      Entry("Sheet", Bmp(5, 3), kResourceBmp, false, 5, 3, 24),
      Entry("Photo", jpeg, kResourceJpeg, false, 13, 7, 24),
      Raw("Pixels16", 3, 2, 16, 12),
      Raw("Palette8", 4, 4, 8, 512 + 16, true),
      Entry("Object", std::vector<uint8_t>(3000, 0x11), kResourceData4, true),
      Entry("Text", {'a', 'b'}, kResourceData5),
      Entry("Other", {1, 2, 3, 4}, 9),
      Entry("Empty", {}, kResourceData4, true)};
  entries[0].FrameFlag = 1, entries[0].Reserved56 = -5, entries[0].Reserved60 = 0x12345678;
  entries[2].FrameWidth = 1;
  TTempFolder folder;
  const std::string path = (folder.Path / "all.ger").string();
  WriteResourceFile(path, entries);

  TGEResource resource;
  ASSERT_TRUE(resource.OpenPath(path));
  const std::vector<TGEResourceHeader> headers = resource.ListEntries();
  ASSERT_EQ(headers.size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const TResourceWriteEntry& want = entries[i];
    SCOPED_TRACE(want.Name);
    ExpectHeader(headers[i], want);
    TGEResourceEntry entry;
    ASSERT_TRUE(resource.ReadByName(want.Name, entry));
    ExpectHeader(entry, want);
    const bool data = want.Kind >= kResourceRaw && want.Kind <= kResourceData5;
    EXPECT_EQ(entry.Data, data ? want.Payload : std::vector<uint8_t>{});
    if (want.Kind == kResourceBmp || want.Kind == kResourceJpeg) {
      TBitmap24 expected = want.Kind == kResourceJpeg ? ReferenceJpegDecode(jpeg) : TBitmap24{};
      if (want.Kind == kResourceBmp) DecodeBmp(want.Payload.data(), want.Payload.size(), expected);
      ASSERT_NE(entry.Image, nullptr);
      EXPECT_EQ(entry.Image->Rows, expected.Rows);
    } else {
      EXPECT_EQ(entry.Image, nullptr);
    }
    TGEResourceHeader header;
    std::vector<uint8_t> payload;
    ASSERT_TRUE(resource.ReadPayloadByName(want.Name, header, payload));
    EXPECT_EQ(payload, want.Payload);
  }
}

// The layout is fixed by files that exist already, not by our reader.
TEST(ResourceRoundTrip, WriterLaysFieldsOutAsStored) {
  TResourceWriteEntry raw = Raw("Abc", 2, 3, 16, 12);
  raw.FrameWidth = 1, raw.FrameFlag = 7, raw.Reserved60 = 99;
  const std::vector<uint8_t> file = BuildResourceFile(
      {raw, Entry("Zip", std::vector<uint8_t>(1000, 0), kResourceData5, true),
       Entry("Pic", Bmp(2, 2), kResourceBmp, true)});  // pictures are never compressed
  EXPECT_EQ(std::string(file.begin(), file.begin() + 18),
            std::string("GEResource1.00\3\0\0\0", 18));
  EXPECT_EQ(std::string(file.begin() + kFirst, file.begin() + kFirst + 4), "\3Abc");
  EXPECT_EQ(file[kFirst + 41], kResourceRaw);
  const std::vector<uint32_t> fields = {16, 1, 3, 0, 99, 12, 0, 2, 3};  // offsets 44 to 76
  for (size_t i = 0; i < fields.size(); ++i)
    EXPECT_EQ(Read32(file, kFirst + 44 + 4 * i), fields[i]) << 44 + 4 * i;
  EXPECT_EQ(file[kFirst + 80], 7);
  EXPECT_EQ(file[kCompressedAt], 0);
  const size_t zip = kFirst + 84 + 12, packed = Read32(file, zip + 68);
  EXPECT_EQ(file[zip + 81], 1);
  EXPECT_EQ(Read32(file, zip + 64), 1000u);
  EXPECT_LT(packed, 100u);
  EXPECT_EQ(file[zip + 84], 0x78) << "zlib header";
  EXPECT_EQ(file[zip + 84 + packed + 81], 0) << "compressed picture";
  EXPECT_THROW(BuildResourceFile({Entry(std::string(41, 'x'), {1})}), TResourceError);
  EXPECT_NO_THROW(BuildResourceFile({Entry(std::string(40, 'x'), {1})}));
  EXPECT_THROW(WriteResourceFile("/nonexistent/folder/x.ger", {}), TResourceError);
}

// --- Finding entries ------------------------------------------------------------------------

TEST(ResourceLookup, NamesMatchWithoutRegardToCaseAndTheFirstWins) {
  auto resource = Open(BuildResourceFile(
      {Entry("Arial14", {1}), Entry("ARIAL14", {2}), Entry("arial14", {3}), Entry("Next", {4})}));
  TGEResourceEntry entry;
  for (const char* name : {"ARIAL14", "arial14", "aRiAl14"}) {
    ASSERT_TRUE(resource->ReadByName(name, entry));
    EXPECT_EQ(entry.Data, std::vector<uint8_t>{1}) << name;
    EXPECT_EQ(entry.Name, "Arial14");
    EXPECT_EQ(resource->EntryIndex, 1);
  }
  ASSERT_TRUE(resource->ReadByName("next", entry));
  EXPECT_EQ(resource->EntryIndex, 4);
}

TEST(ResourceLookup, NamesAsLongAsAnEntryHoldsOpenAndAreFound) {
  const std::string longest = "Background_of_the_second_chapter_0123456";
  ASSERT_EQ(longest.size(), kResourceNameCapacity);
  TTempFolder folder;
  const std::string path = (folder.Path / "long.ger").string();
  WriteResourceFile(path, {Entry(longest.substr(0, 39), {1}), Raw(longest, 2, 2, 16, 8),
                           Entry(longest, {3}, kResourceData5), Entry("After", {4})});
  TGEResource resource;
  ASSERT_TRUE(resource.Open(path)) << resource.ErrorText;
  TGEResourceEntry entry;
  // Scripts hand their names over in upper case.
  ASSERT_TRUE(resource.ReadByName(UpperAscii(longest), entry)) << resource.ErrorText;
  EXPECT_EQ(entry.Name, longest);
  EXPECT_EQ(entry.Kind, kResourceRaw);
  EXPECT_EQ(entry.Data.size(), 8u);
  EXPECT_EQ(resource.EntryIndex, 2);  // the first of two equal names
  ASSERT_TRUE(resource.ReadByName(longest.substr(0, 39), entry));
  EXPECT_EQ(entry.Data, std::vector<uint8_t>{1});
  ASSERT_TRUE(resource.ReadByName("after", entry));
  EXPECT_EQ(entry.Data, std::vector<uint8_t>{4});
}

TEST(ResourceLookup, MissingNamesReportTheExactMessageAndClearTheEntry) {
  for (const auto& entries : {std::vector<TResourceWriteEntry>{}, {Entry("One", {1})}}) {
    auto resource = Open(BuildResourceFile(entries));
    TGEResourceEntry entry;
    entry.Name = "stale", entry.Kind = 4, entry.Size = 9, entry.Data = {1, 2};
    entry.Image = std::make_unique<TBitmap24>();
    EXPECT_FALSE(resource->ReadByName("Missing", entry));
    EXPECT_EQ(resource->ErrorText, "Missing" + kNotFound);
    EXPECT_TRUE(entry.Name.empty() && entry.Kind == 0 && entry.Size == 0 && entry.Data.empty() &&
                !entry.Image);
    TGEResourceHeader header;
    header.Name = "stale";
    std::vector<uint8_t> payload{1};
    EXPECT_FALSE(resource->ReadPayloadByName("On", header, payload));
    EXPECT_EQ(resource->ErrorText, "On" + kNotFound);
    EXPECT_TRUE(header.Name.empty() && payload.empty());
  }
}

// Skipped by the inflated size, the search would land inside the packed data. A JPEG entry
// ends at its Size whatever its data holds: bytes after the picture, or no end marker.
TEST(ResourceLookup, EntriesEndWhereTheirStoredSizeSays) {
  const std::vector<uint8_t> jpeg = EncodeJpeg(MakePattern(9, 9));
  std::vector<uint8_t> padded = jpeg;
  padded.insert(padded.end(), {0xFF, 0xD8, 0xFF, 0xD9, 0, 0, 0});
  auto resource = Open(
      BuildResourceFile({Entry("Big", std::vector<uint8_t>(50000, 0), kResourceData4, true),
                         Entry("Padded", padded, kResourceJpeg, false, 9, 9),
                         Entry("Cut", {jpeg.begin(), jpeg.end() - 2}, kResourceJpeg, false, 9, 9),
                         Entry("Tail", {42})}));
  for (const char* name : {"Padded", "Cut"}) {
    TGEResourceEntry entry;
    ASSERT_TRUE(resource->ReadByName(name, entry)) << name;
    EXPECT_EQ(entry.Image->Rows, ReferenceJpegDecode(jpeg).Rows) << name;
  }
  TGEResourceEntry tail;
  ASSERT_TRUE(resource->ReadByName("Tail", tail));
  EXPECT_EQ(tail.Data, std::vector<uint8_t>{42});
}

// A few hundred kilobytes of zeros that inflate past the limit are refused before inflating.
TEST(ResourceLookup, CompressedDataPastTheSizeLimitIsRefused) {
  auto resource = Open(BuildResourceFile(
      {Entry("Huge", std::vector<uint8_t>(kMaxPictureBytes + 4096, 0), kResourceData4, true),
       Entry("Small", std::vector<uint8_t>(4096, 0), kResourceData4, true)}));
  TGEResourceEntry entry;
  EXPECT_THROW(resource->ReadByName("Huge", entry), TResourceError);
  ASSERT_TRUE(resource->ReadByName("Small", entry));
  EXPECT_EQ(entry.Data.size(), 4096u);
}

TEST(ResourceLookup, ScriptNamesResolveBackslashesAndLetterCase) {
  TTempFolder folder;
  std::filesystem::create_directories(folder.Path / "Res");
  WriteResourceFile((folder.Path / "Res" / "Fonts16bit.ger").string(), {Entry("A", {1})});
  TGEResource resource;
  ASSERT_TRUE(resource.Open(folder.Path.string() + "\\RES\\fonts16BIT.GER"));
  TGEResourceEntry entry;
  EXPECT_TRUE(resource.ReadByName("a", entry));
  resource.Close();
  EXPECT_FALSE(resource.IsOpen());
  EXPECT_EQ(resource.EntryCount, 0);
  EXPECT_TRUE(resource.ReadByName("A", entry)) << "a closed resource opens its file again";
  EXPECT_THROW(TGEResource().OpenPath((folder.Path / "none.ger").string()), TResourceError);
  EXPECT_THROW(TGEResource().OpenPath(folder.Path.string()), TResourceError);
}

TEST(ResourceLookup, WrongMagicIsReportedNotThrown) {
  std::vector<uint8_t> file = BuildResourceFile({Entry("A", {1})});
  std::vector<uint8_t> version = file;
  version[13] = '1';  // "GEResource1.01"
  for (const std::vector<uint8_t>& bad :
       {std::vector<uint8_t>{}, {file.begin(), file.begin() + 13}, version}) {
    TGEResource resource;
    EXPECT_FALSE(resource.OpenMemory(bad));
    EXPECT_EQ(resource.ErrorText, "Not GameEngine resource file! (Open/Load)");
    EXPECT_FALSE(resource.IsOpen()) << "a later Open must not succeed at once";
  }
}

// --- Damaged files --------------------------------------------------------------------------

void ExpectDamaged(const std::vector<uint8_t>& bytes, const std::string& name,
                   const std::string& why) {
  EXPECT_THROW(
      {
        TGEResource resource;
        TGEResourceEntry entry;
        if (resource.OpenMemory(bytes)) resource.ReadByName(name, entry);
      },
      TResourceError)
      << why;
}

// An entry in front of the cut may still be read, but only with all of its data.
TEST(ResourceDamaged, EveryShortenedFileFailsOrGivesIntactData) {
  const std::vector<uint8_t> a(200, 3);
  const std::vector<uint8_t> whole =
      BuildResourceFile({Entry("A", a, kResourceData4, true), Entry("B", {1, 2})});
  for (size_t size = 14; size < whole.size(); ++size) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
    ExpectDamaged(cut, "B", "cut at " + std::to_string(size));
    try {
      TGEResource resource;
      TGEResourceEntry entry;
      if (resource.OpenMemory(cut) && resource.ReadByName("A", entry)) {
        EXPECT_EQ(entry.Data, a) << size;
      }
    } catch (const TResourceError&) {
    }
  }
}

TEST(ResourceDamaged, SizesThatLie) {
  const std::vector<uint8_t> good =
      BuildResourceFile({Entry("Zip", std::vector<uint8_t>(600, 5), kResourceData4, true)});
  auto with = [&](size_t at, uint32_t value, int bytes = 4) {
    std::vector<uint8_t> patched = good;
    for (int i = 0; i < bytes; ++i) patched[at + i] = uint8_t(value >> 8 * i);
    return patched;
  };
  const uint32_t packed = Read32(good, kPackedAt);
  const std::tuple<size_t, uint32_t, int, const char*> lies[] = {
      {kPackedAt, packed + 1, 4, "packed size past the end"},
      {kPackedAt, 0xFFFFFFFF, 4, "huge packed size"},
      {kSizeAt, 599, 4, "inflates to more than its size"},
      {kSizeAt, 601, 4, "inflates to less"},
      {kSizeAt, 0xFFFFFFFF, 4, "absurd size"},
      {14, 2, 4, "more entries than stored"},
      {14, 0x80000000, 4, "negative entry count"},
      {kFirst, 41, 1, "name longer than 40"},
      {kCompressedAt, 0, 1, "stored size past the end"},
      {kFirst + 84 + 5, 0x55, 1, "damaged deflate data"}};
  for (auto [at, value, bytes, why] : lies) ExpectDamaged(with(at, value, bytes), "Zip", why);
}

// Sprites size their pixel blocks from the header, so a raw block must cover its image.
TEST(ResourceDamaged, RawBlocksMustHoldTheirImage) {
  for (auto [bits, needed] : {std::pair{8, 512 + 15}, {15, 30}, {16, 30}, {24, 45}, {32, 60}})
    for (bool compress : {false, true}) {
      const std::string trace =
          std::to_string(bits) + " bits, compressed " + std::to_string(compress);
      TGEResourceEntry entry;
      EXPECT_TRUE(
          Open(BuildResourceFile({Raw("R", 5, 3, bits, needed, compress)}))->ReadByName("R", entry))
          << trace;
      ExpectDamaged(BuildResourceFile({Raw("R", 5, 3, bits, needed - 1, compress)}), "R",
                    trace + ", one byte short");
    }
  ExpectDamaged(BuildResourceFile({Raw("R", 2, 2, 12, 100)}), "R", "unknown pixel bits");
  ExpectDamaged(BuildResourceFile({Raw("R", -2, 2, 16, 100)}), "R", "negative width");
  ExpectDamaged(BuildResourceFile({Raw("R", 2, 2, 0, 100)}), "R", "image without pixel bits");
  // A 3D object is a raw entry without image fields: plain data.
  TGEResourceEntry entry;
  ASSERT_TRUE(Open(BuildResourceFile({Entry("Cube", {1, 0, 2, 0}, kResourceRaw)}))
                  ->ReadByName("cube", entry));
  EXPECT_EQ(entry.Data, (std::vector<uint8_t>{1, 0, 2, 0}));
}

// A compressed block of a few hundred kilobytes can claim a gigabyte. Picture entries are
// judged by their claim before anything is read or inflated, and the message names the file,
// the entry and the limit.
TEST(ResourceDamaged, PictureClaimsOverTheLimitAreRefusedBeforeReading) {
  // Junk data behind the claims: only a check of the claim calls them too large, not damaged.
  const std::vector<uint8_t> small = BuildResourceFile({Raw("Big", 4, 4, 16, 32, true)});
  const std::vector<uint8_t> huge =
      With32(With32(With32(small, kWidthAt, 16384), kHeightAt, 16384), kSizeAt, 16384u * 16384 * 2);
  const std::vector<uint8_t> padded =
      With32(With32(With32(small, kWidthAt, 1), kHeightAt, 1), kSizeAt, 300u << 20);
  const std::vector<uint8_t> bmp = BuildResourceFile(
      {Entry("Big", ClaimingRleBmp(16384, 16384), kResourceBmp, false, 16384, 16384)});
  const std::string tooLarge = "picture too large: (memory) entry Big ";
  for (auto [file, text] :
       {std::pair{huge, tooLarge + "is 16384x16384, more than the 256 MiB limit"},
        std::pair{padded, tooLarge + "holds 314572800 bytes, more than the 256 MiB limit"},
        std::pair{bmp, tooLarge + "is 16384x16384, more than the 256 MiB limit"}}) {
    THeapWatch heap;
    TGEResourceEntry entry;
    try {
      Open(file)->ReadByName("big", entry);
      ADD_FAILURE() << "read " << text;
    } catch (const TResourceError& error) {
      EXPECT_EQ(std::string(error.what()), text);
    }
    EXPECT_LT(heap.Peak(), 2 * file.size() + (1 << 20)) << text;
  }
}

TEST(ResourceDamaged, PicturesThatDoNotDecodeOrDisagreeWithTheHeader) {
  const std::vector<uint8_t> bmp = Bmp(4, 4);
  std::vector<uint8_t> jpeg = EncodeJpeg(MakePattern(8, 8));
  jpeg.resize(jpeg.size() / 2);
  for (const TResourceWriteEntry& e :
       {Entry("P", bmp, kResourceBmp, false, 4, 5), Entry("P", bmp, kResourceBmp, false, 3, 4),
        Entry("P", bmp, kResourceJpeg, false, 4, 4),
        Entry("P", {bmp.begin(), bmp.end() - 1}, kResourceBmp, false, 4, 4),
        Entry("P", jpeg, kResourceJpeg, false, 8, 8)})
    ExpectDamaged(BuildResourceFile({e}), "P",
                  "kind " + std::to_string(e.Kind) + ", " + std::to_string(e.ImageWidth) + "x" +
                      std::to_string(e.ImageHeight));
}

}  // namespace
