// Platform services: code pages, Windows-style paths, processes, the log file, switches.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "TestSupport.h"
#include "base/SE_Log.h"
#include "platform/PL_FileWatch.h"
#include "platform/PL_FrameChanges.h"
#include "platform/PL_Paths.h"
#include "platform/PL_Process.h"
#include "platform/PL_Text.h"
#include "player/VEKEngine.h"

namespace {
TEST(CodePage1250, HungarianLettersRoundTripAndForeignOnesBecomeQuestionMarks) {
  const std::string utf8 = "ÁÉÍÓÖŐÚÜŰ áéíóöőúüű €";
  std::string cp = Utf8ToCp1250(utf8);
  EXPECT_EQ(cp, "\xC1\xC9\xCD\xD3\xD6\xD5\xDA\xDC\xDB \xE1\xE9\xED\xF3\xF6\xF5\xFA\xFC\xFB \x80");
  EXPECT_EQ(Cp1250ToUtf8(cp), utf8);
  EXPECT_EQ(Utf8ToCp1250("日本"), "??");
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(everyByte)), everyByte);
}

TEST(CodePage1250, TextFilesAreDetectedAsUtf8OnlyWhenTheyAreValid) {
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFplain"), "plain");
  EXPECT_EQ(DecodeTextFile("\xC5\x91"), "\xF5");          // ő in UTF-8
  EXPECT_EQ(DecodeTextFile("\xF5r\xE1"), "\xF5r\xE1");    // already code page 1250
  EXPECT_EQ(DecodeTextFile("\xED\xA0\x80"), "\xED\xA0\x80");  // a surrogate is not UTF-8
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));                   // overlong
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(WindowsPaths, BackslashesAndLetterCaseResolveToTheFileOnDisk) {
  TTempFolder temp;
  temp.Write("Show/Res/Fonts16bit.ger", "x");
  temp.Write("Show/Képek/Hátter.BMP", "x");
  std::string base = temp.Path.string();
  EXPECT_EQ(ResolvePath(base + "\\show\\RES\\FONTS16BIT.GER"), base + "/Show/Res/Fonts16bit.ger");
  EXPECT_EQ(ResolveScriptPath(base + "\\SHOW\\K\xC9PEK\\h\xE1tter.bmp"),
            base + "/Show/Képek/Hátter.BMP");
  EXPECT_EQ(ResolvePath(base + "\\none\\x.bmp"), base + "/none/x.bmp");
  EXPECT_TRUE(IsRegularFile(base + "/Show/Res/Fonts16bit.ger"));
  EXPECT_FALSE(IsRegularFile(base + "/Show/Res"));
  EXPECT_EQ(FolderOf(base + "/Show/a.vek"), base + "/Show");
  EXPECT_EQ(FolderOf("a.vek"), ".");
}

TEST(WindowsPaths, RelativeNamesFallBackToTheScriptFolder) {
  TTempFolder temp;
  temp.Write("Show/pics/Logo.bmp", "x");
  SetScriptFolder((temp.Path / "Show").string());
  EXPECT_EQ(ResolvePath("PICS\\logo.bmp"), (temp.Path / "Show/pics/Logo.bmp").string());
  SetScriptFolder("");
  EXPECT_EQ(ResolvePath("PICS\\logo.bmp"), "PICS/logo.bmp");
}

TEST(WindowsPaths, FilesBesideTheScriptWinOverTheCurrentFolder) {
  TTempFolder temp;
  temp.Write("Show/pics/SUN.BMP", "show");
  temp.Write("pics/sun.bmp", "elsewhere");
  temp.Write("only-here.bmp", "x");
  const auto saved = std::filesystem::current_path();
  std::filesystem::current_path(temp.Path);
  SetScriptFolder((temp.Path / "Show").string());
  // Even a match that needs letter case ignored beats an exact one of the current folder.
  EXPECT_EQ(ResolvePath("pics\\sun.bmp"), (temp.Path / "Show/pics/SUN.BMP").string());
  EXPECT_EQ(ResolvePath("ONLY-HERE.BMP"), "only-here.bmp");
  SetScriptFolder("");
  EXPECT_EQ(ResolvePath("pics/sun.bmp"), "pics/sun.bmp");
  std::filesystem::current_path(saved);
}

TEST(Processes, CommandLinesSplitAtBlanksOutsideQuotes) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("  notepad.exe  readme.txt "), (Words{"notepad.exe", "readme.txt"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x.exe\" \"a b\"c \"\""),
            (Words{"C:\\Program Files\\x.exe", "a bc", ""}));
  EXPECT_TRUE(SplitCommandLine("   ").empty());
}

int CountZombieChildren() {
  int zombies = 0;
  std::ifstream stat;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream file(entry.path() / "stat");
    std::string line;
    if (!std::getline(file, line)) continue;
    size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int parent = 0;
    std::sscanf(line.c_str() + close + 2, "%c %d", &state, &parent);
    if (state == 'Z' && parent == getpid()) ++zombies;
  }
  return zombies;
}

TEST(Processes, StartedProgramsRunWithoutWaitingAndLeaveNoZombies) {
  TTempFolder temp;
  std::string marker = (temp.Path / "ran").string();
  ASSERT_TRUE(SpawnDetached({"touch", marker}));
  EXPECT_FALSE(SpawnDetached({"/no/such/program"}));
  EXPECT_FALSE(SpawnDetached({}));
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(std::filesystem::exists(marker));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(CountZombieChildren(), 0);
}

// A program waited for: its exit code and output kept, a hung one killed at the limit (well
// before it would end), one that cannot start told, and no zombie left.
TEST(Processes, ProgramsWaitedForAreTimedAndLeaveNoZombies) {
  TTempFolder temp;
  const std::string output = (temp.Path / "output").string();
  const struct {
    std::vector<std::string> Words;
    bool Started, TimedOut;
    int ExitCode;
    std::string Output;
  } cases[] = {
      {{"sh", "-c", "echo said; echo told >&2; exit 3"}, true, false, 3, "said\ntold\n"},
      {{"true"}, true, false, 0, ""},
      {{"sh", "-c", "kill -9 $$"}, true, false, -1, ""},
      {{"sleep", "30"}, true, true, -1, ""},
      {{"/no/such/program"}, false, false, -1, ""},
      {{}, false, false, -1, ""},
  };
  for (const auto& wanted : cases) {
    const auto start = std::chrono::steady_clock::now();
    const TProgramRun run = RunProgram(wanted.Words, output, 300);
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string name = wanted.Words.empty() ? "(none)" : wanted.Words.back();
    EXPECT_EQ(run.Started, wanted.Started) << name;
    EXPECT_EQ(run.TimedOut, wanted.TimedOut) << name;
    EXPECT_EQ(run.ExitCode, wanted.ExitCode) << name;
    EXPECT_EQ(run.Started, run.Error.empty()) << name << ": " << run.Error;
    EXPECT_LT(took, std::chrono::seconds(5)) << name;
    std::ifstream file(output, std::ios::binary);
    const std::string said{std::istreambuf_iterator<char>(file), {}};
    if (run.Started) {
      EXPECT_EQ(said, wanted.Output) << name;
    }
  }
  EXPECT_EQ(CountZombieChildren(), 0);
}

TEST(LogFile, DatesAndTimesUseTheHungarianFormats) {
  TFormatSettings saved = FormatSettings;
  FormatSettings.DateSeparator = '.';
  std::tm when{};
  when.tm_year = 124, when.tm_mon = 2, when.tm_mday = 5;
  when.tm_hour = 9, when.tm_min = 7, when.tm_sec = 31;
  EXPECT_EQ(FormatDateTime("yyyy.mm.dd.", when), "2024.03.05.");
  EXPECT_EQ(FormatDateTime("h:mm:ss", when), "9:07:31");
  EXPECT_EQ(FormatDateTime("hh:nn", when), "09:07");
  EXPECT_EQ(FormatDateTime("d/m/yy", when), "5.3.24");
  FormatSettings = saved;
}

TEST(LogFile, LinesAreAppendedBesideTheProgram) {
  std::string path = LogFilePath();
  EXPECT_EQ(std::filesystem::path(path).filename(), "veke_tests.log");
  std::filesystem::remove(path);
  TFormatSettings saved = FormatSettings;
  FormatSettings.ShortDateFormat = "yyyy.mm.dd.";
  WriteLog("[TGEMP3] first");
  WriteLog("[TGEAnimPlay] second\nline");
  FormatSettings = saved;
  std::ifstream file(path);
  std::string one, two, three;
  std::getline(file, one), std::getline(file, two), std::getline(file, three);
  std::regex stamp(R"(\d{4}\.\d{2}\.\d{2}\. \d{1,2}:\d{2}:\d{2} )");
  EXPECT_TRUE(std::regex_match(one, std::regex(R"(\d{4}\.\d{2}\.\d{2}\. \d{1,2}:\d{2}:\d{2} \[TGEMP3\] first)"))) << one;
  EXPECT_TRUE(std::regex_search(two, stamp)) << two;
  EXPECT_EQ(three, "line");
  std::filesystem::remove(path);
}

TEST(CommandLineSwitches, AnyArgumentThatBeginsWithTheWordCounts) {
  SetProgramArguments({"flipbook.vek", "windowed2", "HARD"});
  EXPECT_TRUE(SwitchGiven("FLIP"));
  EXPECT_TRUE(SwitchGiven("WINDOWED"));
  EXPECT_FALSE(SwitchGiven("HARDWARE"));  // shorter than the word
  SetProgramArguments({"show.vek", "hardwarex"});
  EXPECT_TRUE(SwitchGiven("hardware"));
  EXPECT_FALSE(SwitchGiven("FLIP"));
  SetProgramArguments({});
}

TEST(HeadlessMessages, OnlyATailIsKeptHoweverManyArrive) {
  THeadlessHost host;
  host.Quiet = true;
  for (int i = 0; i < 5 * static_cast<int>(THeadlessHost::kMessageTail) + 7; ++i)
    host.ShowMessage("C", std::to_string(i));
  EXPECT_GE(host.Messages.size(), THeadlessHost::kMessageTail);
  EXPECT_LE(host.Messages.size(), 2 * THeadlessHost::kMessageTail);
  EXPECT_EQ(host.Messages.size() + host.DroppedMessages, 5 * THeadlessHost::kMessageTail + 7);
  EXPECT_EQ(host.Messages.back(), "C: " + std::to_string(5 * THeadlessHost::kMessageTail + 6));
}

TEST(HeadlessMessages, OriginScopesNestAndEnd) {
  EXPECT_EQ(MessageOriginPrefix(), "");
  {
    TMessageOrigin outer("show.vek", 3);
    {
      TMessageOrigin inner("show.vek", 12);
      EXPECT_EQ(MessageOriginPrefix(), "show.vek:12: ");
    }
    EXPECT_EQ(MessageOriginPrefix(), "show.vek:3: ");
  }
  EXPECT_EQ(MessageOriginPrefix(), "");
}
// The changed parts of a frame: cut to the frame, neighbours joined into one piece, pieces far
// apart kept apart, and never more than a bounded list however much is drawn.
TEST(FrameChangeList, CutsJoinsAndStaysShort) {
  struct TCase {
    const char* What;
    std::vector<TRect> Drawn;
    std::vector<TRect> Expected;
  };
  const TCase cases[] = {
      {"nothing", {}, {}},
      {"beside the frame", {{-50, 10, -1, 20}, {640, 0, 900, 480}}, {}},
      {"over an edge", {{-10, -10, 10, 10}}, {{0, 0, 10, 10}}},
      {"beyond int32 corners", {{INT32_MIN, 470, INT32_MAX, INT32_MAX}}, {{0, 470, 640, 480}}},
      {"glyphs of a line", {{10, 10, 16, 20}, {17, 10, 23, 20}, {24, 10, 30, 20}},
       {{10, 10, 30, 20}}},
      {"a picture's old and new place", {{100, 100, 196, 196}, {102, 101, 198, 197}},
       {{100, 100, 198, 197}}},
      {"far apart", {{0, 0, 10, 10}, {600, 400, 610, 410}},
       {{0, 0, 10, 10}, {600, 400, 610, 410}}},
  };
  for (const TCase& c : cases) {
    TFrameChanges changes;
    changes.Resize(640, 480);
    EXPECT_TRUE(changes.Whole()) << c.What;  // a new frame changes whole
    changes.Reset();
    for (const TRect& r : c.Drawn) changes.Add(r.Left, r.Top, r.Right, r.Bottom);
    ASSERT_EQ(changes.List().size(), c.Expected.size()) << c.What;
    for (size_t i = 0; i < c.Expected.size(); ++i) {
      const TRect& got = changes.List()[i];
      const TRect& want = c.Expected[i];
      EXPECT_TRUE(got.Left == want.Left && got.Top == want.Top && got.Right == want.Right &&
                  got.Bottom == want.Bottom)
          << c.What << ": " << got.Left << "," << got.Top << "," << got.Right << "," << got.Bottom;
    }
  }
  // A grid of small dots, none worth joining: the list stays bounded and still covers them.
  TFrameChanges dots;
  dots.Resize(640, 480);
  dots.Reset();
  for (int32_t y = 0; y < 480; y += 40)
    for (int32_t x = 0; x < 640; x += 40) dots.Add(x, y, x + 2, y + 2);
  EXPECT_LE(dots.List().size(), 32u);
  for (int32_t y = 0; y < 480; y += 40)
    for (int32_t x = 0; x < 640; x += 40)
      EXPECT_TRUE(std::any_of(dots.List().begin(), dots.List().end(), [&](const TRect& r) {
        return r.Left <= x && x + 2 <= r.Right && r.Top <= y && y + 2 <= r.Bottom;
      })) << x << "," << y;
  dots.AddAll();
  ASSERT_EQ(dots.List().size(), 1u);
  EXPECT_EQ(dots.List()[0].Width(), 640);
}

TEST(Settle, ABurstOfEventsComesDueOnceWhenItHasBeenQuietLongEnough) {
  TSettle settle(50);
  struct TStep {
    char What;  // 'n': an event noted; '?': asked whether it is due
    uint64_t Ms;
    int32_t Wait;  // WaitMs before
    bool Due;      // TakeDue's answer ('?' only)
  };
  const std::vector<TStep> steps = {
      {'?', 0, -1, false},                          // nothing pending
      {'n', 10, -1, false},  {'?', 40, 20, false},  // 30 ms quiet
      {'n', 45, 15, false},  {'?', 94, 1, false},   // the burst goes on
      {'?', 95, 0, true},    {'?', 96, -1, false},  // told once
      {'n', 500, -1, false}, {'?', 2000, 0, true},  // late asking is due
  };
  for (const TStep& step : steps) {
    EXPECT_EQ(settle.WaitMs(step.Ms), step.Wait) << step.What << step.Ms;
    if (step.What == 'n')
      settle.Note(step.Ms);
    else
      EXPECT_EQ(settle.TakeDue(step.Ms), step.Due) << step.Ms;
  }
}

TEST(FileWatch, ASaveByRenameIsToldOnceAndOtherFilesOfTheFolderAreNot) {
  TTempFolder temp;
  const std::string script = temp.Write("show.vek", "CLEAR(0)\n").string();
  TFileWatch watch;
  ASSERT_TRUE(watch.Error.empty()) << watch.Error;
  watch.Watch(temp.Path.string() + "/SHOW.VEK");  // as a script names it
  const auto changeWithin = [&](int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      if (watch.TakeChange()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  };
  temp.Write("other.bmp", "x");
  EXPECT_FALSE(changeWithin(300));
  // An editor's save: a new file, written in pieces, renamed over the old one.
  for (int i = 0; i < 3; ++i) temp.Write(".show.vek.swp", std::string(i + 1, 'x'));
  temp.Write("show.vek.new", "CLEAR(1)\n");
  std::filesystem::rename(temp.Path / "show.vek.new", script);
  EXPECT_TRUE(changeWithin(2000));
  EXPECT_FALSE(changeWithin(200));
}

}  // namespace
