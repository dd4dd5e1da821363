// Disc images read in place: names, sizes and bytes as the files had them on disk, and damaged
// images refused or mounted without their bad entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "DiscSamples.h"
#include "TestSupport.h"
#include "platform/PL_Files.h"

namespace fs = std::filesystem;

namespace {

const std::vector<TSampleFile> kLongTree = {
    {"README.TXT", 12},
    {"Sub Folder/Long Mixed Name.dat", 10000},
    {"Sub Folder/Deep/lower.txt", 2},
    {"VIDEO/intro clip.avi", 150001},
    {"empty.txt", 0},
};
const std::vector<TSampleFile> kShortTree = {
    {"README.TXT", 3000},
    {"NOEXT", 5},
    {"SUB/A.DAT", 4096},
    {"SUB/DEEP/B.DAT", 7},
    {"VIDEO/CLIP.AVI", 70000},
};

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
  std::string Options;  // xorriso's
  int RawMode;          // 0: the ISO image itself; 1 or 2: a raw BIN made from it
  std::string Cue;      // the cue sheet beside the .bin, "" for none; BIN names the .bin
  std::string Mount;    // the file to mount: "iso", "bin" or the cue sheet's name
  std::string Kind, Label;
  std::vector<std::string> Skipped;
};

TEST(DiscImages, ListAndReadEveryKindOfImageAsTheFilesWere) {
  const std::string rockOff = " -- -rockridge off";
  const std::string cue1 = "FILE \"BIN\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n";
  const std::string mixed =
      "FILE \"BIN\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n"
      "  TRACK 02 AUDIO\r\n    INDEX 00 END\r\n    INDEX 01 00:59:00\r\n";
  const std::string tracks =
      "FILE \"C:\\RIPS\\Show (Track 1).bin\" BINARY\n  TRACK 01 MODE1/2352\n"
      "    INDEX 01 00:00:00\nFILE \"Show (Track 2).bin\" BINARY\n  TRACK 02 AUDIO\n"
      "    INDEX 01 00:00:00\n";
  const std::vector<TImageCase> cases = {
      {"Joliet and Rock Ridge", &kLongTree, "-J -R -V 'Show Disc'", 0, "", "iso", "ISO 9660 image",
       "Show Disc", {"link.txt"}},
      {"Joliet", &kLongTree, "-J -V ' JOLIET ' " + rockOff, 0, "", "iso", "ISO 9660 image",
       "JOLIET", {}},
      {"Rock Ridge", &kLongTree, "-R -V RR", 0, "", "iso", "ISO 9660 image", "RR", {"link.txt"}},
      {"level 1", &kShortTree, "-V PLAIN" + rockOff, 0, "", "iso", "ISO 9660 image", "PLAIN", {}},
      {"mode 1 cue", &kLongTree, "-J -R -V CUE1", 1, cue1, "show.cue", "BIN/CUE image", "CUE1",
       {"link.txt"}},
      {"mode 2 mixed, bin", &kLongTree, "-J -V MIXED" + rockOff, 2, mixed, "bin",
       "BIN/CUE image", "MIXED", {}},
      {"raw bin alone", &kShortTree, "-V RAW" + rockOff, 1, "", "bin", "BIN/CUE image", "RAW", {}},
      {"a file a track", &kLongTree, "-J -V TRACKS" + rockOff, 1, tracks, "SHOW.CUE",
       "BIN/CUE image", "TRACKS", {}},
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
      const bool tracked = c.Cue.find("Track 1") != std::string::npos;
      const fs::path bin = temp.Path / (tracked ? "show (track 1).BIN" : "show.bin");
      MakeRawBin(iso, bin, c.RawMode, c.Cue.find("AUDIO") != std::string::npos && !tracked ? 400 : 0);
      std::string cue = c.Cue;
      if (const size_t at = cue.find("\"BIN\""); at != std::string::npos)
        cue.replace(at, 5, "\"" + bin.filename().string() + "\"");
      if (const size_t at = cue.find("END"); at != std::string::npos) {
        const size_t end = fs::file_size(iso) / 2048;  // the audio's pregap starts there
        char time[32];
        std::snprintf(time, sizeof time, "%02zu:%02zu:%02zu", end / 4500, end / 75 % 60, end % 75);
        cue.replace(at, 3, time);
      }
      if (!cue.empty()) temp.Write(c.Mount == "bin" ? "SHOW.Cue" : c.Mount, cue);
      if (tracked) temp.Write("Show (Track 2).bin", std::string(2352 * 75, '\0'));
      fs::remove(iso);
      mount = c.Mount == "bin" ? bin : temp.Path / c.Mount;
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
    for (const TSampleFile& file : *c.Tree) {
      const std::string folder = fs::path(file.Path).parent_path().string();
      if (!folder.empty()) {
        EXPECT_EQ(FileInfoOf(point + "/" + folder).Kind, TFileKind::Folder);
        EXPECT_EQ(Listed(point + "/" + folder), Expected(*c.Tree, folder));
      }
      const TFileInfo info = FileInfoOf(point + "/" + file.Path);
      EXPECT_EQ(info.Kind, TFileKind::Regular) << file.Path;
      EXPECT_EQ(info.Size, file.Size) << file.Path;
      EXPECT_TRUE(info.InContainer);
      CheckReads(point + "/" + file.Path, SampleBytes(file.Path, file.Size));
    }
  }
}

}  // namespace
