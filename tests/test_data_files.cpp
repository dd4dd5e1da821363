// The program's own data files are found from the installed tree it runs from, wherever that
// tree was put, and an installed program keeps its log out of the shared program folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "TestSupport.h"
#include "base/SE_Log.h"
#include "platform/PL_Paths.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kFont = "Res/Fonts16bit.ger";

// A tree as `cmake --install` lays it out, under a folder no build knows about.
struct TInstalledTree {
  TTempFolder Root;
  fs::path Program = Root.Path / "usr/bin/veke";
  fs::path DataFolder = (Program.parent_path() / VEKE_DATA_FROM_BIN).lexically_normal();
  TInstalledTree() { fs::create_directories(Program.parent_path()); }
  fs::path AddData(const std::string& relative) const {
    return Root.Write((DataFolder / relative).lexically_relative(Root.Path).string(), "data");
  }
};

// Points HOME somewhere harmless for one test.
class THomeScope {
 public:
  explicit THomeScope(const fs::path& home) {
    if (const char* old = std::getenv("HOME")) Saved = old;
    setenv("HOME", home.c_str(), 1);
  }
  ~THomeScope() { setenv("HOME", Saved.c_str(), 1); }

 private:
  std::string Saved;
};

TEST(DataFiles, AnInstalledTreeFindsItsOwnDataWhereverItWasPut) {
  TInstalledTree tree;
  EXPECT_EQ(InstalledDataFolder(tree.Program.string()), "") << "no data folder yet";
  const fs::path font = tree.AddData(kFont);
  EXPECT_EQ(InstalledDataFolder(tree.Program.string()), tree.DataFolder.string());
  EXPECT_EQ(FindDataFile(kFont, tree.Program.string()), font.string());
  // Scripts write the name the Windows way and in any case.
  EXPECT_EQ(FindDataFile("res\\FONTS16BIT.GER", tree.Program.string()), font.string());
  // The tree's own copy wins over one that happens to lie beside the program.
  tree.Root.Write("usr/bin/Res/Fonts16bit.ger", "stray");
  EXPECT_EQ(FindDataFile(kFont, tree.Program.string()), font.string());
}

TEST(DataFiles, ABuiltProgramFindsDataBesideItself) {
  TTempFolder build;
  const fs::path font = build.Write(kFont, "built");
  const fs::path program = build.Path / "veke";
  EXPECT_EQ(InstalledDataFolder(program.string()), "");
  EXPECT_EQ(FindDataFile(kFont, program.string()), font.string());
  EXPECT_EQ(FindDataFile("Res/NoSuchFile.ger", program.string()), "");
  EXPECT_EQ(FindDataFile("Res/NoSuchFile.ger", ""), "");
}

TEST(DataFiles, TheBuildFolderServesOnlyProgramsInsideIt) {
  const fs::path file = fs::path(VEKE_BINARY_DIR) / "Res" / "data-files-test.tmp";
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "built";
  const std::string name = "Res/data-files-test.tmp";
  EXPECT_EQ(FindDataFile(name, VEKE_BINARY_DIR "/tests/veke_tests"), file.string());
  TInstalledTree tree;
  EXPECT_EQ(FindDataFile(name, tree.Program.string()), "") << "not installed";
  tree.AddData(kFont);
  EXPECT_EQ(FindDataFile(name, tree.Program.string()), "") << "installed";
  fs::remove(file);
}

TEST(DataFiles, AnInstalledProgramLogsInTheUsersStateFolder) {
  TTempFolder home;
  THomeScope scope(home.Path);
  TInstalledTree tree;
  const std::string besideProgram = tree.Program.parent_path() / "veke.log";
  EXPECT_EQ(LogFilePath(tree.Program.string()), besideProgram) << "not installed yet";
  tree.AddData(kFont);
  EXPECT_EQ(LogFilePath(tree.Program.string()),
            (home.Path / ".local/state/veke/veke.log").string());
}
}  // namespace
