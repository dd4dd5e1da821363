// Disc images read in place: names, sizes and bytes as the files had them on disk, and damaged
// images refused or mounted without their bad entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

#include "DiscSamples.h"
#include "TestSupport.h"
#include "platform/PL_Files.h"

namespace fs = std::filesystem;

namespace {

// Its folder of many files takes several sectors of directory records.
const std::vector<TSampleFile> kLongTree = [] {
  std::vector<TSampleFile> tree = {
      {"README.TXT", 12},
      {"Sub Folder/Long Mixed Name.dat", 10000},
      {"Sub Folder/Deep/lower.txt", 2},
      {"VIDEO/intro clip.avi", 150001},
      {"empty.txt", 0},
  };
  for (int i = 0; i < 150; ++i) tree.push_back({"Many/picture " + std::to_string(i) + ".bmp", 9});
  return tree;
}();
const std::vector<TSampleFile> kShortTree = {
    {"README.TXT", 3000}, {"NOEXT", 5},          {"SUB/A.DAT", 4096},
    {"SUB/B.DAT", 100},   {"SUB/DEEP/B.DAT", 7}, {"VIDEO/CLIP.AVI", 70000},
};

std::string ReadAll(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  return ReadWholeFile(path, bytes, error) ? std::string(bytes.begin(), bytes.end()) : error;
}

std::vector<std::string> Listed(const std::string& folder) {
  std::vector<std::string> names;
  EXPECT_TRUE(ListFolder(folder, names)) << folder;
  std::sort(names.begin(), names.end());
  return names;
}

// What a folder of `tree` holds, as the image should list it.
std::vector<std::string> Expected(const std::vector<TSampleFile>& tree, const std::string& folder) {
  std::vector<std::string> names;
  for (const TSampleFile& file : tree) {
    std::string rest = file.Path;
    if (!folder.empty()) {
      if (!rest.starts_with(folder + "/")) continue;
      rest.erase(0, folder.size() + 1);
    }
    const std::string name = rest.substr(0, rest.find('/'));
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Reads that cross sector boundaries, start at odd places and run past the end.
void CheckReads(const std::string& path, const std::string& content) {
  std::string error;
  std::unique_ptr<TReadFile> file = OpenReadFile(path, error);
  ASSERT_TRUE(file) << path << ": " << error;
  ASSERT_EQ(file->Size(), content.size());
  const size_t size = content.size();
  struct TSpan {
    size_t Offset, Count;
  };
  for (TSpan span : std::initializer_list<TSpan>{{2047, 3},
                                                 {1, 5000},
                                                 {4095, 70000},
                                                 {size > 5 ? size - 5 : 0, 100},
                                                 {size, 10},
                                                 {0, size}}) {
    std::string got(span.Count, '\0');
    const int64_t read = file->ReadAt(span.Offset, got.data(), span.Count);
    const size_t expected = span.Offset >= size ? 0 : std::min(span.Count, size - span.Offset);
    ASSERT_EQ(read, static_cast<int64_t>(expected)) << path << " at " << span.Offset;
    EXPECT_TRUE(got.compare(0, expected, content, std::min(span.Offset, size), expected) == 0)
        << path << " at " << span.Offset;
  }
}

struct TImageCase {
  const char* Name;
  const std::vector<TSampleFile>* Tree;
  std::string Options;            // xorriso's
  int RawMode;                    // 0: the ISO image itself; 1 or 2: a raw BIN made from it
  std::string Bin, CueName, Cue;  // the .bin, and the cue sheet beside it ("BIN" names the .bin)
  std::string Mount;              // "iso", "bin" or "cue"
  std::string Kind, Label;
  std::vector<std::string> Skipped;
};

TEST(DiscImages, ListAndReadEveryKindOfImageAsTheFilesWere) {
  const std::string rockOff = " -- -rockridge off";
  const std::string cue1 = "FILE \"BIN\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n";
  const std::string mixed =
      "FILE \"BIN\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n"
      "  TRACK 02 AUDIO\r\n    INDEX 00 END\r\n    INDEX 01 END\r\n";
  const std::vector<TImageCase> cases = {
      {"Joliet and Rock Ridge",
       &kLongTree,
       "-J -R -V 'Show Disc'",
       0,
       "",
       "",
       "",
       "iso",
       "ISO 9660 image",
       "Show Disc",
       {"link.txt"}},
      {"Joliet",
       &kLongTree,
       "-J -V ' JOLIET ' " + rockOff,
       0,
       "",
       "",
       "",
       "iso",
       "ISO 9660 image",
       "JOLIET",
       {}},
      {"Rock Ridge",
       &kLongTree,
       "-R -V RR",
       0,
       "",
       "",
       "",
       "iso",
       "ISO 9660 image",
       "RR",
       {"link.txt"}},
      {"level 1",
       &kShortTree,
       "-V PLAIN" + rockOff,
       0,
       "",
       "",
       "",
       "iso",
       "ISO 9660 image",
       "PLAIN",
       {}},
      {"mode 1 through the cue sheet",
       &kLongTree,
       "-J -R -V CUE1",
       1,
       "SHOW.BIN",
       "SHOW.CUE",
       cue1,
       "cue",
       "BIN/CUE image",
       "CUE1",
       {"link.txt"}},
      {"mode 2 with audio, through the bin",
       &kLongTree,
       "-J -V MIXED" + rockOff,
       2,
       "show.bin",
       "show.cue",
       mixed,
       "bin",
       "BIN/CUE image",
       "MIXED",
       {}},
  };
  for (const TImageCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder temp;
    WriteSampleTree(temp.Path / "tree", *c.Tree);
    fs::create_symlink("README.TXT", temp.Path / "tree" / "link.txt");
    const fs::path iso = temp.Path / "show.iso";
    ASSERT_TRUE(MakeIso(temp.Path / "tree", iso, c.Options)) << "xorriso is needed";
    fs::path mount = iso;
    if (c.RawMode != 0) {
      const bool audio = c.Cue.find("AUDIO") != std::string::npos;
      MakeRawBin(iso, temp.Path / c.Bin, c.RawMode, audio ? 400 : 0);
      std::string cue = c.Cue;
      cue.replace(cue.find("BIN"), 3, c.Bin);
      for (size_t at; (at = cue.find("END")) != std::string::npos;) {
        const size_t end = fs::file_size(iso) / 2048;  // where the audio starts
        char time[32];
        std::snprintf(time, sizeof time, "%02zu:%02zu:%02zu", end / 4500, end / 75 % 60, end % 75);
        cue.replace(at, 3, time);
      }
      temp.Write(c.CueName, cue);
      fs::remove(iso);
      mount = temp.Path / (c.Mount == "bin" ? c.Bin : c.CueName);
    }
    std::string error;
    const std::string point = MountContainer(mount.string(), error);
    ASSERT_EQ(point, fs::weakly_canonical(mount).string()) << error;
    std::shared_ptr<TContainer> container = ContainerOf(point + "/");
    ASSERT_TRUE(container);
    EXPECT_EQ(container->Kind, c.Kind);
    EXPECT_EQ(container->Label, c.Label);
    EXPECT_EQ(container->Skipped, c.Skipped);
    uint64_t total = 0;
    for (const TSampleFile& file : *c.Tree) total += file.Size;
    EXPECT_EQ(container->FileCount, c.Tree->size());
    EXPECT_EQ(container->TotalBytes, total);
    EXPECT_EQ(Listed(point), Expected(*c.Tree, ""));
    std::set<std::string> folders;
    for (const TSampleFile& file : *c.Tree) {
      const std::string folder = fs::path(file.Path).parent_path().string();
      if (!folder.empty() && folders.insert(folder).second) {
        EXPECT_EQ(FileInfoOf(point + "/" + folder).Kind, TFileKind::Folder);
        EXPECT_EQ(Listed(point + "/" + folder), Expected(*c.Tree, folder));
      }
      const TFileInfo info = FileInfoOf(point + "/" + file.Path);
      EXPECT_EQ(info.Kind, TFileKind::Regular) << file.Path;
      EXPECT_EQ(info.Size, file.Size) << file.Path;
      EXPECT_TRUE(info.InContainer);
      CheckReads(point + "/" + file.Path, SampleBytes(file.Path, file.Size));
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

}  // namespace

namespace {

// A directory record inside an image, by the offsets of ISO 9660.
struct TRecordAt {
  size_t Offset;
  uint32_t Extent, Size;
  std::string Name;
};

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// Both byte orders of a field of the form ISO 9660 calls 7.3.3.
void Put733(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<char>(value >> (8 * i));
    bytes[at + 7 - i] = static_cast<char>(value >> (8 * i));
  }
}

constexpr size_t kRootRecord = 16 * 2048 + 156;
constexpr size_t kJolietRoot = 17 * 2048 + 156;  // where xorriso puts the Joliet descriptor

TRecordAt RecordAt(const std::string& image, size_t offset) {
  const size_t nameLength = static_cast<uint8_t>(image[offset + 32]);
  return {offset, Le32(image, offset + 2), Le32(image, offset + 10),
          image.substr(offset + 33, nameLength)};
}

// The record of `path` ("SUB/A.DAT;1"; "" for the root), walking the folders from the root.
TRecordAt Find(const std::string& image, const std::string& path, size_t root = kRootRecord) {
  TRecordAt folder = RecordAt(image, root);
  if (path.empty()) return folder;
  std::string rest = path;
  while (true) {
    const std::string name = rest.substr(0, rest.find('/'));
    std::optional<TRecordAt> found;
    for (size_t at = folder.Extent * 2048; at < folder.Extent * 2048 + folder.Size;) {
      if (image[at] == 0) {
        at = (at / 2048 + 1) * 2048;
        continue;
      }
      const TRecordAt record = RecordAt(image, at);
      std::string narrow;  // a Joliet name of ASCII letters
      for (size_t c = 1; c < record.Name.size(); c += 2) narrow += record.Name[c];
      if (record.Name == name || narrow == name) found = record;
      at += static_cast<uint8_t>(image[at]);
    }
    if (!found) throw std::runtime_error("no record " + path);
    if (rest.find('/') == std::string::npos) return *found;
    rest.erase(0, rest.find('/') + 1);
    folder = *found;
  }
}

struct THostileCase {
  const char* Name;
  std::function<void(std::string& image)> Damage;
  const char* Skipped;  // a name the mount leaves out; nullptr: the image is refused
  const char* Intact;   // a file that still reads as it was
  bool Joliet = false;  // damages an image with Joliet names instead of a plain one
  bool BinCue = false;  // and mounts it as a BIN/CUE image
};

TEST(DiscImages, DamagedImagesAreRefusedOrMountedWithoutTheirBadEntries) {
  const std::vector<THostileCase> cases = {
      {"cut short before the root folder", [](std::string& i) { i.resize(17 * 2048); }, nullptr,
       nullptr},
      {"cut short inside a file",
       [](std::string& i) { i.resize((Find(i, "VIDEO/CLIP.AVI;1").Extent + 3) * 2048); },
       "VIDEO/CLIP.AVI", "SUB/DEEP/B.DAT"},
      {"a folder that is its parent",
       [](std::string& i) { Put733(i, Find(i, "SUB/DEEP").Offset + 2, Find(i, "SUB").Extent); },
       "SUB/DEEP", "SUB/A.DAT"},
      {"a folder that is the root",
       [](std::string& i) { Put733(i, Find(i, "SUB").Offset + 2, Find(i, "").Extent); }, "SUB",
       "README.TXT"},
      {"a record longer than its sector",
       [](std::string& i) { i[Find(i, "SUB/A.DAT;1").Offset] = 7; }, "SUB", "VIDEO/CLIP.AVI"},
      {"a size past the end",
       [](std::string& i) { Put733(i, Find(i, "SUB/A.DAT;1").Offset + 10, 0x7FFFFFF0); },
       "SUB/A.DAT", "SUB/DEEP/B.DAT"},
      {"an extent past the end",
       [](std::string& i) { Put733(i, Find(i, "README.TXT;1").Offset + 2, 0xFFFFFF); },
       "README.TXT", "NOEXT"},
      {"two records of one name",
       [](std::string& i) { i[Find(i, "SUB/B.DAT;1").Offset + 33] = 'A'; }, "SUB/A.DAT",
       "SUB/DEEP/B.DAT"},
      {"a slash in a name", [](std::string& i) { i[Find(i, "NOEXT.;1").Offset + 33] = '/'; },
       "/OEXT", "README.TXT"},
      {"a huge root folder", [](std::string& i) { Put733(i, kRootRecord + 10, 0xFFFFF000); },
       nullptr, nullptr},
      {"a root folder of garbage",
       [](std::string& i) {
         const TRecordAt root = RecordAt(i, kRootRecord);
         i.replace(root.Extent * 2048, root.Size, root.Size, 'A');
       },
       nullptr, nullptr},
      {"nothing at all", [](std::string& i) { i.clear(); }, nullptr, nullptr},
      {"a Joliet name of half a character",
       [](std::string& i) {
         const size_t at = Find(i, "SUB", kJolietRoot).Extent * 2048;
         i[at + static_cast<uint8_t>(i[at]) + 33] = 'x';  // ".." with a one-byte name
       },
       "SUB", "README.TXT", true, true},
  };
  TTempFolder made;
  WriteSampleTree(made.Path / "tree", kShortTree);
  std::string good[2];
  for (int joliet : {0, 1}) {
    const fs::path iso = made.Path / (joliet ? "joliet.iso" : "plain.iso");
    ASSERT_TRUE(
        MakeIso(made.Path / "tree", iso, joliet ? "-J -- -rockridge off" : "-- -rockridge off"));
    std::ifstream in(iso, std::ios::binary);
    good[joliet].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (const THostileCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder temp;
    std::string image = good[c.Joliet];
    c.Damage(image);
    fs::path mount = temp.Write("bad.iso", image);
    if (c.BinCue) {
      MakeRawBin(mount, temp.Path / "bad.bin", 1);
      fs::remove(mount);
      mount =
          temp.Write("bad.cue", "FILE bad.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n");
    }
    const auto files = [&] {
      std::map<std::string, uintmax_t> sizes;
      for (const auto& file : fs::directory_iterator(temp.Path))
        sizes[file.path().string()] = file.file_size();
      return sizes;
    };
    const auto before = files();
    std::string error;
    const std::string point = MountContainer(mount.string(), error);
    EXPECT_EQ(files(), before);
    if (!c.Skipped) {
      EXPECT_EQ(point, "");
      EXPECT_NE(error, "");
      continue;
    }
    ASSERT_NE(point, "") << error;
    const std::vector<std::string>& skipped = ContainerOf(point)->Skipped;
    EXPECT_NE(std::find(skipped.begin(), skipped.end(), c.Skipped), skipped.end())
        << ::testing::PrintToString(skipped);
    std::vector<std::string> left;
    EXPECT_TRUE(FileInfoOf(point + "/" + c.Skipped).Kind == TFileKind::Missing ||
                (ListFolder(point + "/" + c.Skipped, left) && left.empty()));
    const size_t size = std::find_if(kShortTree.begin(), kShortTree.end(), [&](auto& f) {
                          return f.Path == c.Intact;
                        })->Size;
    CheckReads(point + "/" + c.Intact, SampleBytes(c.Intact, size));
  }
}

TEST(DiscImages, BinCueImagesThatCannotBeReadSayWhy) {
  TTempFolder temp;
  WriteSampleTree(temp.Path / "tree", kShortTree);
  ASSERT_TRUE(MakeIso(temp.Path / "tree", temp.Path / "show.iso", "-- -rockridge off"));
  const std::string track = " TRACK 01 MODE1/2352\n INDEX 01 00:00:00\n";
  struct TCase {
    std::string Bin, CueName, Cue, Mount, Reason;
  };
  const std::vector<TCase> cases = {
      {"a.bin", "a.cue", "FILE \"gone.bin\" BINARY\n" + track, "a.cue", "gone.bin"},
      {"b.bin", "b.cue", "FILE \"b.bin\" BINARY\n TRACK 01 AUDIO\n", "b.cue", "AUDIO"},
      {"c.bin", "c.cue", "REM nothing\n", "c.cue", "no track"},
      {"alone.bin", "", "", "alone.bin", "alone.cue"},
      {"d (Track 1).bin", "d.cue", "FILE \"d (Track 1).bin\" BINARY\n" + track, "d.cue", "d.bin"},
      {"e.bin", "E.CUE", "FILE \"e.bin\" BINARY\n" + track, "e.bin", "E.BIN"},
  };
  for (const TCase& c : cases) {
    MakeRawBin(temp.Path / "show.iso", temp.Path / c.Bin, 1);
    if (!c.CueName.empty()) temp.Write(c.CueName, c.Cue);
    std::string error;
    EXPECT_EQ(MountContainer((temp.Path / c.Mount).string(), error), "") << c.Mount;
    EXPECT_NE(error.find(c.Reason), std::string::npos) << c.Mount << ": " << error;
  }
}

}  // namespace
