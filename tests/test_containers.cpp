// Disc images read in place: names, sizes and bytes as the files had them on disk, and damaged
// images refused or mounted without their bad entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "DiscSamples.h"
#include "TestSupport.h"
#include "platform/PL_Files.h"
#include "platform/PL_IsoRecords.h"

namespace fs = std::filesystem;

namespace {

// Its folder of many files takes several sectors of directory records.
const std::vector<TSampleFile> kLongTree = [] {
  std::vector<TSampleFile> tree = {{"README.TXT", 12},
                                   {"Sub Folder/Long Name.dat", 10000},
                                   {"Sub Folder/Deep/a.txt", 2},
                                   {"Sub Folder/\xC5\xBDlu\xC5\xA5ou\xC4\x8Dk\xC3\xBD.txt", 3},
                                   {"VIDEO/intro clip.avi", 150001},
                                   {"empty.txt", 0}};
  for (int i = 0; i < 150; ++i) tree.push_back({"Many/picture " + std::to_string(i) + ".bmp", 9});
  return tree;
}();
const std::vector<TSampleFile> kShortTree = {{"README.TXT", 3000},  {"NOEXT", 5},
                                             {"SUB/A.DAT", 4096},   {"SUB/B.DAT", 100},
                                             {"SUB/DEEP/B.DAT", 7}, {"VIDEO/CLIP.AVI", 70000}};

std::string ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  return ReadWholeFile(path, bytes, error) ? std::string(bytes.begin(), bytes.end()) : error;
}

// Reads that cross sector boundaries, start at odd places and run past the end.
void CheckReads(const std::string& path, const std::string& content) {
  std::string error;
  std::unique_ptr<TReadFile> file = OpenReadFile(path, error);
  ASSERT_TRUE(file) << path << ": " << error;
  ASSERT_EQ(file->Size(), content.size());
  const size_t size = content.size();
  const std::pair<size_t, size_t> spans[] = {
      {2047, 3}, {1, 5000}, {4095, 70000}, {size > 5 ? size - 5 : 0, 100}, {size, 10}, {0, size}};
  for (auto [offset, count] : spans) {
    std::string got(count, '\0');
    const size_t expected = offset >= size ? 0 : std::min(count, size - offset);
    ASSERT_EQ(file->ReadAt(offset, got.data(), count), static_cast<int64_t>(expected)) << offset;
    EXPECT_TRUE(got.compare(0, expected, content, std::min(offset, size), expected) == 0)
        << path << " at " << offset;
  }
}

struct TImageCase {
  const char* Name;
  const std::vector<TSampleFile>* Tree;
  std::string Options;  // xorriso's
  int Mode;             // 0: the .iso; 1 or 2: a .bin in that mode, with its cue sheet
  std::string Bin, Cue, Mount;
  std::string Label;
  bool LinkSkipped;  // the symbolic link, which only Rock Ridge holds
};

// A cue sheet of one data track, and of an audio track after it from `audioAt` sectors on.
std::string CueSheet(const std::string& bin, int mode, size_t audioAt) {
  std::string sheet = "FILE \"" + bin + "\" BINARY\r\n  TRACK 01 MODE" + std::to_string(mode) +
                      "/2352\r\n    INDEX 01 00:00:00\r\n";
  char time[32];
  std::snprintf(time, sizeof time, "%02zu:%02zu:%02zu", audioAt / 4500, audioAt / 75 % 60,
                audioAt % 75);
  if (audioAt) sheet += "  TRACK 02 AUDIO\r\n    INDEX 01 " + std::string(time) + "\r\n";
  return sheet;
}

TEST(DiscImages, ListAndReadEveryKindOfImageAsTheFilesWere) {
  const std::string rockOff = " -- -rockridge off";
  // clang-format off
  const std::vector<TImageCase> cases = {
      {"Joliet and Rock Ridge", &kLongTree, "-J -R -V 'Show Disc'", 0, "", "", "", "Show Disc",
       true},
      {"Joliet", &kLongTree, "-J -V ' JOLIET ' " + rockOff, 0, "", "", "", "JOLIET", false},
      {"Rock Ridge", &kLongTree, "-R -V RR", 0, "", "", "", "RR", true},
      {"level 1", &kShortTree, "-V PLAIN" + rockOff, 0, "", "", "", "PLAIN", false},
      {"mode 1", &kLongTree, "-J -R -V CUE1", 1, "SHOW.BIN", "SHOW.CUE", "SHOW.CUE", "CUE1", true},
      {"mode 2 and audio", &kLongTree, "-J -V MIXED" + rockOff, 2, "show.bin", "show.cue",
       "show.bin", "MIXED", false},
  };
  // clang-format on
  for (const TImageCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder temp;
    WriteSampleTree(temp.Path / "tree", *c.Tree);
    fs::create_symlink("README.TXT", temp.Path / "tree" / "link.txt");
    fs::path mount = temp.Path / "show.iso";
    ASSERT_TRUE(MakeIso(temp.Path / "tree", mount, c.Options)) << "xorriso is needed";
    if (c.Mode != 0) {
      const size_t audioAt = c.Mode == 2 ? fs::file_size(mount) / 2048 : 0;
      MakeRawBin(mount, temp.Path / c.Bin, c.Mode, audioAt ? 400 : 0);
      temp.Write(c.Cue, CueSheet(c.Bin, c.Mode, audioAt));
      fs::remove(mount);
      mount = temp.Path / c.Mount;
    }
    std::string error;
    const std::string point = MountContainer(mount.string(), error);
    ASSERT_EQ(point, fs::weakly_canonical(mount).string()) << error;
    std::shared_ptr<TContainer> container = ContainerOf(point + "/");
    EXPECT_EQ(container->Kind, c.Mode ? "BIN/CUE image" : "ISO 9660 image");
    EXPECT_EQ(container->Label, c.Label);
    EXPECT_EQ(container->Skipped,
              c.LinkSkipped ? std::vector<std::string>{"link.txt"} : std::vector<std::string>{});
    EXPECT_EQ(container->FileCount, c.Tree->size());
    std::map<std::string, std::set<std::string>> folders;  // what each folder should list
    uint64_t total = 0;
    for (const TSampleFile& file : *c.Tree) {
      total += file.Size;
      for (fs::path path = file.Path; !path.empty(); path = path.parent_path())
        folders[path.parent_path().string()].insert(path.filename().string());
      const TFileInfo info = FileInfoOf(point + "/" + file.Path);
      EXPECT_TRUE(info.Kind == TFileKind::Regular && info.Size == file.Size && info.InContainer)
          << file.Path;
      CheckReads(point + "/" + file.Path, SampleBytes(file.Path, file.Size));
    }
    EXPECT_EQ(container->TotalBytes, total);
    for (const auto& [folder, names] : folders) {
      std::vector<std::string> listed;
      EXPECT_TRUE(ListFolder(point + "/" + folder, listed)) << folder;
      EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), names) << folder;
    }
    // Files of one image read from several threads at once.
    std::vector<std::thread> readers;
    std::atomic<int> same = 0;
    for (size_t i = 0; i < 4; ++i)
      readers.emplace_back([&, i] {
        const TSampleFile& file = (*c.Tree)[i];
        for (int turn = 0; turn < 20; ++turn)
          same += ReadAll(point + "/" + file.Path) == SampleBytes(file.Path, file.Size);
      });
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(same, 4 * 20);
  }
}

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// Sets a field that ISO 9660 writes in both byte orders.
void Put733(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = bytes[at + 7 - i] = static_cast<char>(value >> (8 * i));
}

// The directory record of `name` (found by its length byte and name, which no other part of
// these small images holds) or of the root; its extent is 2 bytes in, its size 10.
size_t Record(const std::string& image, const std::string& name = "") {
  return name.empty() ? 16 * 2048 + 156 : image.find(static_cast<char>(name.size()) + name) - 32;
}
size_t Extent(const std::string& image, const std::string& name = "") {
  return Le32(image, Record(image, name) + 2) * size_t{2048};
}

struct THostileCase {
  const char* Name;
  std::function<void(std::string& image)> Damage;
  const char* Skipped;  // a name the mount leaves out; nullptr: the image is refused
  const char* Intact;   // a file that still reads as it was
  bool Joliet = false;  // damages a BIN/CUE image with Joliet names instead of a plain .iso
};

TEST(DiscImages, DamagedImagesAreRefusedOrMountedWithoutTheirBadEntries) {
  using S = std::string&;
  const std::string jolietSub("\0S\0U\0B", 6);
  // clang-format off
  const std::vector<THostileCase> cases = {
      {"cut short before the root", [](S i) { i.resize(17 * 2048); }, nullptr, nullptr},
      {"cut short inside a file", [](S i) { i.resize(Extent(i, "CLIP.AVI;1") + 3 * 2048); },
       nullptr, nullptr},
      {"a folder that is its parent",
       [](S i) { Put733(i, Record(i, "DEEP") + 2, Extent(i, "SUB") / 2048); }, "SUB/DEEP",
       "SUB/A.DAT"},
      {"a folder that is the root", [](S i) { Put733(i, Record(i, "SUB") + 2, Extent(i) / 2048); },
       "SUB", "README.TXT"},
      {"a record longer than its sector", [](S i) { i[Record(i, "A.DAT;1")] = 7; }, "SUB", "NOEXT"},
      {"a size past the end", [](S i) { Put733(i, Record(i, "A.DAT;1") + 10, 0x7FFFFFF0); },
       "SUB/A.DAT", "SUB/DEEP/B.DAT"},
      {"an extent past the end", [](S i) { Put733(i, Record(i, "README.TXT;1") + 2, 0xFFFFFF); },
       "README.TXT", "NOEXT"},
      {"two records of one name", [](S i) { i[Record(i, "B.DAT;1") + 33] = 'A'; }, "SUB/A.DAT",
       "SUB/DEEP/B.DAT"},
      {"a slash in a name", [](S i) { i[Record(i, "NOEXT.;1") + 33] = '/'; }, "/OEXT",
       "README.TXT"},
      {"a huge root folder", [](S i) { Put733(i, Record(i) + 10, 0xFFFFF000); }, nullptr, nullptr},
      {"a root folder of garbage", [](S i) { i.replace(Extent(i), 2048, 2048, 'A'); }, nullptr,
       nullptr},
      {"nothing at all", [](S i) { i.clear(); }, nullptr, nullptr},
      {"a Joliet name of half a character",  // ".." given a one-byte name
       [&](S i) { const size_t at = Extent(i, jolietSub); i[at + uint8_t(i[at]) + 33] = 'x'; },
       "SUB", "README.TXT", true},
  };
  // clang-format on
  TTempFolder made;
  WriteSampleTree(made.Path / "tree", kShortTree);
  std::string good[2];
  for (int withJoliet : {0, 1}) {
    const fs::path iso = made.Path / "made.iso";
    ASSERT_TRUE(MakeIso(made.Path / "tree", iso,
                        withJoliet ? "-J -- -rockridge off" : "-- -rockridge off"));
    std::ifstream in(iso, std::ios::binary);
    good[withJoliet].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (const THostileCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder temp;
    std::string image = good[c.Joliet];
    c.Damage(image);
    fs::path mount = temp.Write("bad.iso", image);
    if (c.Joliet) {
      MakeRawBin(mount, temp.Path / "bad.bin", 1);
      fs::remove(mount);
      mount = temp.Write("bad.cue", CueSheet("bad.bin", 1, 0));
    }
    const auto files = [&] {
      std::map<std::string, uintmax_t> sizes;
      for (const auto& file : fs::directory_iterator(temp.Path))
        sizes[file.path()] = file.file_size();
      return sizes;
    };
    const auto before = files();
    std::string error;
    const std::string point = MountContainer(mount.string(), error);
    EXPECT_EQ(files(), before);
    if (!c.Skipped) {
      EXPECT_TRUE(point.empty() && !error.empty()) << point;
      continue;
    }
    ASSERT_NE(point, "") << error;
    const std::vector<std::string>& skipped = ContainerOf(point)->Skipped;
    EXPECT_NE(std::find(skipped.begin(), skipped.end(), c.Skipped), skipped.end())
        << ::testing::PrintToString(skipped);
    std::vector<std::string> left;
    EXPECT_TRUE(FileInfoOf(point + "/" + c.Skipped).Kind == TFileKind::Missing ||
                (ListFolder(point + "/" + c.Skipped, left) && left.empty()));
    const auto intact = std::find_if(kShortTree.begin(), kShortTree.end(),
                                     [&](const TSampleFile& f) { return f.Path == c.Intact; });
    CheckReads(point + "/" + c.Intact, SampleBytes(c.Intact, intact->Size));
  }
}

// A directory record of `name` as stored, its System Use entries after it.
std::string DirectoryRecord(const std::string& name, uint8_t flags = 0,
                            const std::string& systemUse = "") {
  std::string record(33, '\0');
  record += name;
  if (name.size() % 2 == 0) record += '\0';
  record += systemUse;
  record[0] = static_cast<char>(record.size());
  Put733(record, 2, 40);
  Put733(record, 10, 1234);
  record[25] = static_cast<char>(flags);
  record[32] = static_cast<char>(name.size());
  return record;
}

std::string Entry(const char* signature, const std::string& data) {
  return std::string(signature, 2) + static_cast<char>(4 + data.size()) + '\1' + data;
}

std::string Continuation(uint32_t sector, uint32_t offset, uint32_t length) {
  std::string data(24, '\0');
  Put733(data, 0, sector);
  Put733(data, 8, offset);
  Put733(data, 16, length);
  return Entry("CE", data);
}

std::string Mode(uint32_t mode) {
  std::string data(32, '\0');
  Put733(data, 0, mode);
  return Entry("PX", data);
}

struct TRecordCase {
  const char* Name;
  std::string Extent;  // padded to a sector
  bool Joliet;
  std::vector<std::string> Listed;  // name and flags of each record; {"refused"} when refused
};

TEST(DiscImages, DirectoryRecordsAreReadWithinWhatTheyHold) {
  const std::string nm = "NM", regular = Mode(0100644);
  std::map<uint32_t, std::string> sectors;  // continuation areas
  sectors[100] = std::string(10, '\0') + Entry("NM", std::string("\0name.txt", 9));
  sectors[101] = Continuation(101, 0, 40) + Entry("NM", std::string("\1x", 2));
  std::string shortRecord = DirectoryRecord("S.TXT;1");
  shortRecord[0] = 20;
  std::string across;  // records up to 8 bytes before the sector's end
  for (int i = 0; i < 8; ++i) across += DirectoryRecord("P", 0, std::string(221, '\0'));
  // clang-format off
  const std::vector<TRecordCase> cases = {
      {"a Rock Ridge name continued in another sector",
       DirectoryRecord("A.TXT;1", 0, regular + Entry("NM", std::string("\1a-long-", 8)) +
                                         Continuation(100, 10, 14)),
       false, {"a-long-name.txt rr"}},
      {"continuations that loop", DirectoryRecord("B.TXT;1", 0,
           Entry("NM", std::string("\1b", 2)) + Continuation(101, 0, 40)),
       false, {"b" + std::string(16, 'x') + " rr"}},
      {"a continuation past its sector",
       DirectoryRecord("C.TXT;1", 0, Entry("NM", std::string("\0c", 2)) +
                                         Continuation(100, 2000, 100)),
       false, {"c rr"}},
      {"an entry that runs past its record",
       DirectoryRecord("D.TXT;1", 0, std::string("NM\xC8\1\0long", 9)), false,
       {"D.TXT plain"}},
      {"links, devices and moved folders",
       DirectoryRecord("L;1", 0, regular + Entry("SL", std::string("\0\0\1a", 4))) +
           DirectoryRecord("DEV;1", 0, Mode(0020644)) +
           DirectoryRecord("MOVED", 2, Entry("CL", std::string(8, '\0'))),
       false, {"L rr plain link", "DEV rr plain link", "MOVED rr plain folder link"}},
      {"pieces and associated files",
       DirectoryRecord("BIG.DAT;1", 0x80) + DirectoryRecord("BIG.DAT;1") +
           DirectoryRecord("BIG.DAT;1", 0x04),
       false, {"BIG.DAT plain piece", "BIG.DAT plain"}},
      {"the folder itself and its parent",
       DirectoryRecord(std::string(1, '\0'), 2, Entry("SP", "\xBE\xEF\0")) +
           DirectoryRecord("\1", 2, Entry("NM", "\4")),
       false, {". folder", ".. rr folder"}},
      {"Joliet names beyond the first plane",
       DirectoryRecord(std::string("\x01\x7D\0l\0u\x01\x65\0 \xD8\x3D\xDE\x00\0.\0t\0x\0t\0;\0" "1", 22)),
       true, {"\xC5\xBDlu\xC5\xA5 \xF0\x9F\x98\x80.txt"}},
      {"a Joliet name of half a character", DirectoryRecord("abc"), true, {"refused"}},
      {"a record across its sector", across + DirectoryRecord("X.TXT;1"), false, {"refused"}},
      {"a record shorter than its head", shortRecord, false, {"refused"}},
      {"a name longer than its record",
       [] { std::string r = DirectoryRecord("N.TXT;1"); r[32] = 60; return r; }(), false,
       {"refused"}},
  };
  // clang-format on
  for (const TRecordCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> extent(c.Extent.begin(), c.Extent.end());
    extent.resize((extent.size() + 2047) / 2048 * 2048);
    int reads = 0;
    const auto read = [&](uint64_t sector, uint8_t* bytes) {
      ++reads;
      const std::string content = sectors.contains(sector) ? sectors[sector] : "";
      std::fill_n(bytes, 2048, 0);
      std::copy(content.begin(), content.end(), bytes);
      return sectors.contains(sector);
    };
    std::vector<TIsoRecord> records;
    std::vector<std::string> listed;
    if (!ReadIsoRecords(extent, c.Joliet, read, records)) listed.push_back("refused");
    for (const TIsoRecord& r : records)
      listed.push_back(r.Name + (r.RockRidge ? " rr" : "") + (r.Plain ? " plain" : "") +
                       (r.Folder ? " folder" : "") + (r.Piece ? " piece" : "") +
                       (r.Link ? " link" : ""));
    EXPECT_EQ(listed, c.Listed);
    EXPECT_LE(reads, 16);
  }
}

TEST(DiscImages, BinCueImagesThatCannotBeReadSayWhy) {
  TTempFolder temp;
  WriteSampleTree(temp.Path / "tree", kShortTree);
  ASSERT_TRUE(MakeIso(temp.Path / "tree", temp.Path / "show.iso", "-- -rockridge off"));
  struct TCase {
    std::string Bin, Cue, Sheet, Mount, Reason;
  };
  // clang-format off
  const std::vector<TCase> cases = {
      {"a.bin", "a.cue", CueSheet("gone.bin", 1, 0), "a.cue", "gone.bin"},
      {"b.bin", "b.cue", "FILE \"b.bin\" BINARY\n TRACK 01 AUDIO\n", "b.cue", "AUDIO"},
      {"c.bin", "c.cue", "REM nothing\n", "c.cue", "no track"},
      {"alone.bin", "", "", "alone.bin", "alone.cue"},
      {"d (Track 1).bin", "d.cue", CueSheet("d (Track 1).bin", 1, 0), "d.cue", "d.bin"},
      {"e.bin", "E.CUE", CueSheet("e.bin", 1, 0), "e.bin", "E.BIN"},
  };
  // clang-format on
  for (const TCase& c : cases) {
    MakeRawBin(temp.Path / "show.iso", temp.Path / c.Bin, 1);
    if (!c.Cue.empty()) temp.Write(c.Cue, c.Sheet);
    std::string error;
    EXPECT_EQ(MountContainer((temp.Path / c.Mount).string(), error), "") << c.Mount;
    EXPECT_NE(error.find(c.Reason), std::string::npos) << c.Mount << ": " << error;
  }
}

}  // namespace
