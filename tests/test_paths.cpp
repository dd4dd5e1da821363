// File names as presentations copied off a disc write them: relative, rooted on the disc,
// with drive letters mapped or not, in any letter case of code page 1250.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/PL_FolderIndex.h"
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
  // The current folder, but only inside the presentation's tree: outside it, nothing is found.
  EXPECT_EQ(ResolvePath("PICS\\A.BMP"), "");
  fs::current_path(Temp.Path / "Disc");
  EXPECT_EQ(ResolvePath("PICS\\A.BMP"), "pics/A.bmp");
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

std::vector<std::string>& Refusals() {
  static std::vector<std::string> refusals;
  return refusals;
}
void KeepRefusal(const std::string& message) { Refusals().push_back(message); }

TEST_F(DiscPaths, NamesReachOnlyThePresentationsTreeUnlessTheUserWidensIt) {
  Temp.Write("secret.txt", "");
  Temp.Write("Disc/Show/Sub/AutoRun.INF", "");
  Temp.Write("Disc/Show/Sub/Pics/B.bmp", "");
  fs::create_symlink(Temp.Path / "secret.txt", Temp.Path / "Disc/Show/out.txt");
  fs::create_symlink(Temp.Path / "Disc/pics/A.bmp", Temp.Path / "Disc/Show/in.bmp");
  SetRefusalReport(KeepRefusal);
  struct TCase {
    const char* Script;      // the script's folder under the temporary folder
    const char* Name;        // as the presentation writes it
    std::string Expected;    // under the temporary folder; "" when refused; "=NAME" unfound
    const char* Widen = "";  // "root": --root is the temporary folder; "outside": --allow-outside
  };
  const std::string up = "Disc/Show/../../secret.txt";
  const TCase cases[] = {
      {"Disc/Show", "..\\..\\secret.txt", ""},                      // .. climbing out
      {"Disc/Show", "..\\PICS\\a.bmp", "Disc/Show/../pics/A.bmp"},  // .. staying in
      {"Disc/Show", "@secret.txt", ""},                             // an absolute path out
      {"Disc/Show", "@Disc/pics/A.bmp", "Disc/pics/A.bmp"},         // and in
      {"Disc/Show", "\\..\\secret.txt", ""},                        // a rooted name leaving
      {"Disc/Show", "\\PICS\\A.BMP", "Disc/pics/A.bmp"},
      {"Disc/Show", "D:\\..\\..\\secret.txt", ""},  // a drive name leaving
      {"Disc/Show", "D:\\PICS\\A.BMP", "Disc/pics/A.bmp"},
      {"Disc/Show", "out.txt", ""},                 // a link inside that leads out
      {"Disc/Show", "IN.BMP", "Disc/Show/in.bmp"},  // a link that stays inside
      {"Disc/Show/Sub", "\\PICS\\B.BMP", "Disc/Show/Sub/Pics/B.bmp"},  // AUTORUN.INF's folder
      {"Disc/Show/Sub", "\\PICS\\A.BMP", "=/PICS/A.BMP"},  // is the top: not looked above
      {"Disc/Show/Sub", "..\\..\\pics\\A.BMP", ""},
      {"Disc/Show", "..\\..\\secret.txt", up, "root"},
      {"Disc/Show", "out.txt", "Disc/Show/out.txt", "outside"},
      {"Disc/Show", "@secret.txt", "secret.txt", "outside"},
  };
  for (const TCase& test : cases) {
    SetScriptFolder(Under(test.Script));
    SetRootOption(std::string(test.Widen) == "root" ? Temp.Path.string() : "");
    SetAllowOutside(std::string(test.Widen) == "outside");
    std::string name = test.Name;
    if (name.starts_with('@')) name = Under(name.substr(1));
    Refusals().clear();
    const std::string found = ResolvePath(name);
    const bool unfound = test.Expected.starts_with('=');
    EXPECT_EQ(found, test.Expected.empty() ? ""
                     : unfound             ? test.Expected.substr(1)
                                           : Under(test.Expected))
        << name;
    ASSERT_EQ(Refusals().size(), test.Expected.empty() ? 1u : 0u) << name;
    if (!test.Expected.empty()) continue;
    // The refusal names the tree and how to widen it.
    for (const std::string& part :
         {PresentationRoot(), std::string("--root FOLDER"), std::string("--allow-outside")})
      EXPECT_NE(Refusals()[0].find(part), std::string::npos) << Refusals()[0];
  }
  SetRootOption("");
  SetAllowOutside(false);
  EXPECT_EQ(PresentationRoot(), Under("Disc"));  // the folder above the script's
  SetScriptFolder(Under("Disc/Show/Sub"));
  EXPECT_EQ(PresentationRoot(), Under("Disc/Show/Sub"));  // the folder with AUTORUN.INF
  // A script of the current folder: its folder is no mere fallback, and what climbs out is
  // refused, never handed back to be opened from there.
  fs::current_path(Temp.Path / "Disc/Show");
  SetScriptFolder(".");
  Refusals().clear();
  EXPECT_EQ(ResolvePath("..\\..\\secret.txt"), "");
  EXPECT_EQ(Refusals().size(), 1u);
  SetRefusalReport(nullptr);
  // Names the user gives are never refused.
  EXPECT_EQ(ResolveGivenPath(Under("secret.txt")), Under("secret.txt"));
}

// A folder is read once for any number of names written in another case, and read again only
// when it changed: a file added later is found, also one added in the same moment.
TEST(FileNameCase, FoldersAreReadOnceUntilTheyChange) {
  TTempFolder temp;
  for (int i = 0; i < 200; ++i) temp.Write("pic" + std::to_string(i) + ".bmp", "");
  // Long settled, as a presentation's folders are; the current folder too, which names are
  // also looked for in.
  fs::last_write_time(temp.Path, fs::file_time_type::clock::now() - std::chrono::hours(1));
  const fs::path savedFolder = fs::current_path();
  fs::current_path(temp.Path);
  SetScriptFolder(temp.Path.string());
  // The first look-ups read the folders tried (beside the script, then the others); no more.
  EXPECT_EQ(ResolveScriptPath("NONE.BMP"), "NONE.BMP");
  EXPECT_EQ(ResolveScriptPath("PIC0.BMP"), (temp.Path / "pic0.bmp").string());
  const uint64_t before = FolderIndexReads();
  for (int i = 0; i < 200; ++i)
    EXPECT_EQ(ResolveScriptPath("PIC" + std::to_string(i) + ".BMP"),
              (temp.Path / ("pic" + std::to_string(i) + ".bmp")).string());
  EXPECT_EQ(ResolveScriptPath("NONE.BMP"), "NONE.BMP");
  EXPECT_EQ(FolderIndexReads() - before, 0u);
  // Two files made one right after the other, each looked for at once.
  for (const char* name : {"late.bmp", "later.bmp"}) {
    temp.Write(name, "");
    EXPECT_EQ(ResolveScriptPath(UpperAscii(name)), (temp.Path / name).string());
  }
  SetScriptFolder("");
  fs::current_path(savedFolder);
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
