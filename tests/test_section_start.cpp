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

// Each line: the words, then what the options should hold (chord as "ctrl alt shift key",
// restart on QUIT, idle ms), or that the words are refused.
TEST(StartOptions, KioskOptionsAndTheirMistakes) {
  struct TCase {
    std::vector<std::string> Words;
    bool Refused;
    std::string Chord;
    bool RestartOnQuit;
    uint32_t IdleMs;
  };
  const TCase cases[] = {
      {{"show.vek"}, false, "", false, 0},
      {{"--kiosk", "show.vek"}, false, "", true, 0},
      {{"--kiosk", "--on-quit", "exit", "show.vek"}, false, "", false, 0},
      {{"--on-quit", "restart", "show.vek"}, false, "", true, 0},
      {{"--kiosk", "--exit-keys", "Ctrl+Alt+Shift+Q", "show.vek"}, false, "1 1 1 q", true, 0},
      {{"--exit-keys", "alt+F10", "show.vek"}, false, "0 1 0 f10", false, 0},
      {{"--exit-keys", "+", "show.vek"}, false, "0 0 0 +", false, 0},
      {{"--exit-keys", "ctrl++", "show.vek"}, false, "1 0 0 +", false, 0},
      {{"--idle-restart", "5", "show.vek"}, false, "", false, 300000},
      {{"--idle-restart", "0.05", "show.vek"}, false, "", false, 3000},
      {{"--exit-keys", "hyper+q", "show.vek"}, true, "", false, 0},
      {{"--exit-keys", "ctrl+", "show.vek"}, true, "", false, 0},
      {{"--on-quit", "stay", "show.vek"}, true, "", false, 0},
      {{"--idle-restart", "0", "show.vek"}, true, "", false, 0},
      {{"--idle-restart", "-1", "show.vek"}, true, "", false, 0},
      {{"--idle-restart", "5m", "show.vek"}, true, "", false, 0},
      {{"--idle-restart", "nan", "show.vek"}, true, "", false, 0},
      {{"show.vek", "--idle-restart"}, true, "", false, 0},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> words = c.Words;
    const TStartOptions options = TakeStartOptions(words);
    const std::string line = ::testing::PrintToString(c.Words);
    EXPECT_EQ(!options.Error.empty(), c.Refused) << line << ": " << options.Error;
    if (c.Refused) continue;
    const TKeyChord& chord = options.ExitChord;
    EXPECT_EQ(chord.Key.empty() ? "" : std::to_string(chord.Ctrl) + " " + std::to_string(chord.Alt) + " " +
                                            std::to_string(chord.Shift) + " " + chord.Key,
              c.Chord)
        << line;
    EXPECT_EQ(options.RestartOnQuit, c.RestartOnQuit) << line;
    EXPECT_EQ(options.IdleRestartMs, c.IdleMs) << line;
    EXPECT_EQ(words, std::vector<std::string>{"show.vek"}) << line;
  }
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
