// Starting play at a section, and the trace line that tells where play is.
#include <gtest/gtest.h>

#include "ObjectSamples.h"
#include "TestSupport.h"

namespace {
class SectionStart : public ::testing::Test, public TScriptRun {
 protected:
  TVEKE& LoadAt(const std::string& text, const std::string& section) {
    TVEKE& veke = Load(text);
    veke.Start.Section = section;
    veke.EnterStartSection();
    return veke;
  }
};

// Main clears red and jumps elsewhere; the section under work clears blue and returns.
const char* const kScript =
    "CREATETEXT(Note,\"x\",100,100,10,10,ARIAL14)\n"
    "CLEAR($F800F800)\n"
    "JUMP(ELSEWHERE)\n"
    "[Work]\n"
    "CLEAR($001F001F)\n"
    "WAIT(40)\n"
    "RETURN\n"
    "[ELSEWHERE]\n"
    "CLEAR($07E007E0)\n"
    "WAIT(10000)\n";

TEST_F(SectionStart, PlayBeginsInTheSectionAndMainGoesOnAfterItsReturn) {
  // Any letter case names the section, as CALL does.
  TVEKE& veke = LoadAt(kScript, "work");
  EXPECT_EQ(veke.CurrentSection->Name, "WORK");
  ASSERT_EQ(veke.CallStack.size(), 1u);
  Frame();
  EXPECT_EQ(Pixel(5, 5), 0x001Fu);  // main's CLEAR never ran before it
  // The main section's declarations have run: its objects are there.
  EXPECT_NE(veke.FindObject("NOTE"), nullptr);
  Frames(3);  // WAIT(40), then RETURN in the frame it ends
  EXPECT_EQ(veke.CurrentSection, veke.Sections.front().get());
  EXPECT_TRUE(veke.CallStack.empty());
  Frame();
  EXPECT_EQ(Pixel(5, 5), 0xF800u);  // main starts with its first command
  Frame();
  EXPECT_EQ(veke.CurrentSection->Name, "ELSEWHERE");
}

TEST_F(SectionStart, AnUnknownSectionIsFatalLikeACallToIt) {
  try {
    LoadAt(kScript, "NOWHERE");
    FAIL() << "an unknown section was entered";
  } catch (const TFatalExit& fatal) {
    EXPECT_EQ(fatal.ExitCode, 1);
    EXPECT_NE(fatal.Message.find("NOWHERE"), std::string::npos) << fatal.Message;
  }
}

TEST(StartOptions, AreTakenFromAnywhereInTheCommandLine) {
  std::vector<std::string> words = {"--trace",   "show.vek", "WINDOWED",
                                    "--section", "Intro",    "HARDWARE"};
  TStartOptions options = TakeStartOptions(words);
  EXPECT_TRUE(options.Trace);
  EXPECT_EQ(options.Section, "Intro");
  EXPECT_TRUE(options.Error.empty());
  EXPECT_EQ(words, (std::vector<std::string>{"show.vek", "WINDOWED", "HARDWARE"}));

  words = {"show.vek", "--section"};
  EXPECT_FALSE(TakeStartOptions(words).Error.empty());
  words = {"show.vek"};
  options = TakeStartOptions(words);
  EXPECT_FALSE(options.Trace);
  EXPECT_TRUE(options.Section.empty());
}

class Trace : public SectionStart {
 protected:
  TTempFolder Temp;
  samples::TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(Trace, NamesTheSectionTheCommandAndItsLineAndWhyItWaits) {
  Load(kScript);
  Frame();  // CLEAR, line 2
  EXPECT_EQ(Veke->TraceLine(0), "trace 0 ms: section <Main Section>, line 2 CLEAR($F800F800)");
  Frames(2);  // JUMP, then ELSEWHERE's CLEAR
  Frame();    // WAIT(10000), line 10
  EXPECT_EQ(Veke->TraceLine(60),
            "trace 60 ms: section ELSEWHERE (called from <Main Section>), line 10 WAIT(10000) "
            "waiting 10000 ms more");
  Frames(3);
  EXPECT_NE(Veke->TraceLine(120).find("line 10 WAIT(10000) waiting 9940 ms more"),
            std::string::npos)
      << Veke->TraceLine(120);

  LoadAt(kScript, "WORK");
  EXPECT_EQ(Veke->TraceLine(0),
            "trace 0 ms: section WORK (called from <Main Section>), before its first command");
}

TEST_F(Trace, ListsRunningEffectsAndThoseWaitingTheirTurn) {
  Temp.Write("sun.spr", samples::SolidSpr(4, 4, samples::kRed));
  Load(
      "CREATEIMAGE(Sun,,sun.spr,0,0,TRUE,TRUE)\n"
      "CREATEIMAGE(Moon,,sun.spr,0,0,TRUE,TRUE)\n"
      "MOVEIMAGE(Sun,100,0,1000)\n"
      "IMAGEALPHA(Sun,0,1000)\n"
      "MOVEIMAGE(Moon,0,0,1000)\n"
      "WAITFOR(Sun)\n"
      "WAITFOR(Nothing)\n");
  Frames(4);
  const std::string line = Veke->TraceLine(60);
  EXPECT_NE(line.find("line 6 WAITFOR(SUN) waiting; effects: line 3 MOVEIMAGE(SUN,100,0,1000); "
                      "line 4 IMAGEALPHA(SUN,0,1000) waiting its turn"),
            std::string::npos)
      << line;
  // The moon is already where it is told to go: its effect ended at once.
  EXPECT_EQ(line.find("MOON"), std::string::npos) << line;
}
}  // namespace
