// File names as presentations copied off a disc write them: relative, rooted on the disc,
// with drive letters mapped or not, in any letter case of code page 1250.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Text.h"

namespace {
namespace fs = std::filesystem;

// A disc copied into a folder of its own, played from another folder, with the drive map and
// the script folder put back afterwards.
class DiscPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    Temp.Write("Disc/Show/Main.vek", "");
    Temp.Write("Disc/VIDEO/Intro.avi", "");
    Temp.Write("Disc/pics/A.bmp", "");
    fs::create_directories(Temp.Path / "elsewhere");
    SavedFolder = fs::current_path();
    fs::current_path(Temp.Path / "elsewhere");
    SetScriptFolder(Under("Disc/Show"));
  }
  void TearDown() override {
    fs::current_path(SavedFolder);
    SetScriptFolder("");
    ClearDriveMap();
  }
  std::string Under(const std::string& relative) const { return (Temp.Path / relative).string(); }

  TTempFolder Temp;
  fs::path SavedFolder;
};

TEST_F(DiscPaths, RootedAndDriveNamesFindTheDiscAboveTheScriptInAnyCase) {
  for (const char* name : {"D:\\VIDEO\\INTRO.AVI", "d:\\video\\intro.avi", "D:/Video/Intro.AVI",
                           "\\VIDEO\\INTRO.AVI", "/video/intro.avi", "C:VIDEO\\INTRO.AVI"})
    EXPECT_EQ(ResolvePath(name), Under("Disc/VIDEO/Intro.avi")) << name;
  EXPECT_EQ(ResolvePath("E:\\PICS\\a.BMP"), Under("Disc/pics/A.bmp"));
  EXPECT_EQ(ResolvePath("D:\\"), Under("Disc/Show"));  // the root itself: the nearest candidate
  // A script in the disc's root finds the same files.
  SetScriptFolder(Under("Disc"));
  EXPECT_EQ(ResolvePath("D:\\PICS\\A.BMP"), Under("Disc/pics/A.bmp"));
  EXPECT_EQ(ResolveScriptPath("\\PICS\\A.BMP"), Under("Disc/pics/A.bmp"));
  // Nothing anywhere: the name with slashes, for the message.
  EXPECT_EQ(ResolvePath("D:\\VIDEO\\OUTRO.AVI"), "D:/VIDEO/OUTRO.AVI");
  EXPECT_EQ(ResolvePath("\\NONE\\X.BMP"), "/NONE/X.BMP");
}

TEST_F(DiscPaths, TheNearestFolderHoldingTheNameWinsAndRelativeNamesStayBesideTheScript) {
  Temp.Write("Disc/Show/pics/A.bmp", "");
  Temp.Write("elsewhere/pics/a.bmp", "");
  EXPECT_EQ(ResolvePath("\\PICS\\A.BMP"), Under("Disc/Show/pics/A.bmp"));
  EXPECT_EQ(ResolvePath("..\\PICS\\A.BMP"), Under("Disc/Show/../pics/A.bmp"));
  EXPECT_EQ(ResolvePath("VIDEO\\INTRO.AVI"), "VIDEO/INTRO.AVI");  // relative: not on the disc
  fs::remove_all(Temp.Path / "Disc/Show/pics");
  EXPECT_EQ(ResolvePath("PICS\\A.BMP"), "pics/a.bmp");  // the current folder, as before
}

TEST_F(DiscPaths, AMappedDriveIsTheOnlyPlaceForItsLetterAndTheRootOfScriptsInside) {
  Temp.Write("Other/VIDEO/INTRO.AVI", "");
  Temp.Write("Other/Pics/A.BMP", "");
  ASSERT_TRUE(MapDrive('e', Under("Other")));
  EXPECT_FALSE(MapDrive('1', Under("Other")));
  EXPECT_EQ(ResolvePath("E:\\video\\intro.avi"), Under("Other/VIDEO/INTRO.AVI"));
  EXPECT_EQ(ResolvePath("D:\\video\\intro.avi"), Under("Disc/VIDEO/Intro.avi"));  // unmapped
  EXPECT_EQ(ResolvePath("e:\\Show\\Main.vek"), "e:/Show/Main.vek");  // not searched elsewhere
  // A script on the mapped drive knows its root: a nearer folder of the same name is not it.
  Temp.Write("Other/Show/Pics/A.BMP", "");
  SetScriptFolder(Under("Other/Show"));
  EXPECT_EQ(ResolvePath("\\PICS\\A.BMP"), Under("Other/Pics/A.BMP"));
  EXPECT_TRUE(MapDrive('E', ""));  // untied: the folders above the script again
  EXPECT_EQ(ResolvePath("\\PICS\\A.BMP"), Under("Other/Show/Pics/A.BMP"));
}

TEST_F(DiscPaths, AbsoluteNamesOfThisMachineAreTakenAsWrittenOrWithCaseIgnored) {
  Temp.Write("Disc/Show/" + Temp.Path.relative_path().string() + "/Disc/pics/A.bmp", "");
  EXPECT_EQ(ResolvePath(Under("Disc/pics/A.bmp")), Under("Disc/pics/A.bmp"));
  EXPECT_EQ(ResolvePath(Under("DISC/PICS/a.bmp")), Under("Disc/pics/A.bmp"));
}

TEST(FileNameCase, EveryLetterPairOfCodePage1250MatchesEitherWay) {
  // Upper and lower case of each letter that has both in the code page.
  std::vector<std::pair<uint8_t, uint8_t>> pairs = {
      {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F},
      {0xA3, 0xB3}, {0xA5, 0xB9}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xBC, 0xBE}};
  for (int upper = 0xC0; upper <= 0xDE; ++upper)
    if (upper != 0xD7) pairs.emplace_back(upper, upper + 0x20);
  TTempFolder temp;
  SetScriptFolder(temp.Path.string());
  for (auto [upper, lower] : pairs) {
    const std::string big(1, char(upper)), small(1, char(lower));
    const std::string tag = std::to_string(upper);
    temp.Write("a" + tag + Cp1250ToUtf8(small), "");
    temp.Write("B" + tag + Cp1250ToUtf8(big), "");
    EXPECT_EQ(ResolveScriptPath("A" + tag + big),
              (temp.Path / ("a" + tag + Cp1250ToUtf8(small))).string())
        << Cp1250ToUtf8(big);
    EXPECT_EQ(ResolveScriptPath("b" + tag + small),
              (temp.Path / ("B" + tag + Cp1250ToUtf8(big))).string())
        << Cp1250ToUtf8(small);
  }
  // Signs without a pair stay apart, though their codes lie 0x20 apart like the letters.
  temp.Write("x\xC3\xB7", "");  // ÷
  EXPECT_EQ(ResolveScriptPath("x\xD7"), "x\xC3\x97");
  SetScriptFolder("");
}
}  // namespace
