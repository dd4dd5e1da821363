// Playing sections: one command per frame, waits, calls and jumps, the background.
#include <gtest/gtest.h>

#include "ObjectSamples.h"
#include "SoundSamples.h"
#include "TestSupport.h"

namespace {
class Interpreter : public ::testing::Test, public TScriptRun {
 protected:
  // The frame in which the section's command index first reaches `index`.
  uint32_t FrameReaching(size_t section, int32_t index, int limit = 500) {
    for (int i = 0; i < limit; ++i) {
      uint32_t at = Frame();
      if (Section(section).CommandIndex >= index) return at;
    }
    ADD_FAILURE() << "command " << index << " never started";
    return 0;
  }
};

TEST_F(Interpreter, CommandsThatDoNotWaitStartInConsecutiveFrames) {
  Load("NOTHING\nSHOWFPS\nHIDEFPS\n");
  EXPECT_EQ(Frame(), 0u);
  EXPECT_EQ(Section(0).CommandIndex, 0);
  Frame();
  EXPECT_TRUE(Veke->Engine->ShowFPS);
  Frame();
  EXPECT_FALSE(Veke->Engine->ShowFPS);
  Frames(3);
  EXPECT_EQ(Section(0).CommandIndex, 3);  // finished: the index stays at the end
}

TEST_F(Interpreter, WaitReleasesTheFirstFrameAtOrAfterItsTime) {
  Headless->StepMs = 30;
  Load("WAIT(500)\nNOTHING\n");
  EXPECT_EQ(FrameReaching(0, 1), 510u);  // 0 + 500 lands between frames at 480 and 510
  Load("WAIT(0)\nNOTHING\n");
  Headless->StepMs = 0;  // no time passes: WAIT(0) holds
  Frames(5);
  EXPECT_EQ(Section(0).CommandIndex, 0);
  Headless->StepMs = 1;
  Frames(2);
  EXPECT_EQ(Section(0).CommandIndex, 1);
}

TEST_F(Interpreter, WaitCountsAcrossTheClockWrapAround) {
  Headless->StartClock(0xFFFFFF00u);
  Load("WAIT(1000)\nQUIT\n");
  EXPECT_EQ(FrameReaching(0, 1), 1000u);
  EXPECT_EQ(Veke->Engine->TotalTime, 1000u);
  EXPECT_LT(Headless->VirtualTime, 0xFFFFFF00u);  // the clock itself has wrapped
}

TEST_F(Interpreter, CallRunsTheSectionAndReturnResumesTheCallerWait) {
  Load(
      "CALL(sub)\n"
      "WAITFOR(nothing)\n"
      "[SUB]\n"
      "SHOWFPS\n"
      "RETURN\n");
  Frame();  // CALL
  EXPECT_EQ(Veke->CurrentSection, &Section(1));
  EXPECT_EQ(Section(1).CommandIndex, -1);
  Frame();  // SHOWFPS
  Frame();  // RETURN
  EXPECT_EQ(Veke->CurrentSection, &Section(0));
  EXPECT_EQ(Section(1).CommandIndex, -1);
  Frames(3);
  EXPECT_EQ(Section(0).CommandIndex, 1);  // WAITFOR on a name that found nothing holds
  EXPECT_EQ(Headless->Messages.size(), 1u);  // the warning about the missing object
}

TEST_F(Interpreter, SectionCalledAgainRunsFromItsFirstCommand) {
  Load(
      "CALL(SUB)\nCALL(SUB)\n"
      "[SUB]\nCURSOROFF\nCURSORON\nRETURN\n");
  Frames(4);
  EXPECT_TRUE(Headless->CursorVisible);
  Frame();  // second CALL
  Frame();  // CURSOROFF again
  EXPECT_FALSE(Headless->CursorVisible);
}

TEST_F(Interpreter, ReturnWithoutCallWarnsAndPlayGoesOn) {
  Load("RETURN\nSHOWFPS\n");
  Frames(2);
  ASSERT_EQ(Headless->Messages.size(), 1u);
  EXPECT_EQ(Headless->Messages[0], "Üzenet: Visszatérés (Return) hívás nélkül.");
  EXPECT_TRUE(Veke->Engine->ShowFPS);
}

TEST_F(Interpreter, MissingSectionEndsThePlay) {
  Load("CALL(nowhere)\n");
  try {
    Frame();
    FAIL() << "the call went on";
  } catch (const TFatalExit& fatal) {
    EXPECT_EQ(fatal.ExitCode, 1);
    EXPECT_EQ(fatal.Message, "Nem létező szekció: NOWHERE");
  }
}

TEST_F(Interpreter, JumpFreesTheObjectsAndStillPushesTheCaller) {
  Load(
      "CREATESOUND(a, none.wav, FALSE, FALSE)\n"
      "CREATESOUND(b, none.wav, FALSE, FALSE)\n"
      "JUMP(next)\n"
      "[NEXT]\n"
      "RETURN\n");
  Frame();
  EXPECT_TRUE(Section(0).Objects.empty());
  EXPECT_EQ(Veke->CallStack.size(), 1u);
  Frame();
  EXPECT_EQ(Veke->CurrentSection, &Section(0));
}

TEST_F(Interpreter, FreeDropsTheObjectAndDisarmsItsCommands) {
  Load(
      "CREATEIMAGE(logo, , a.bmp, 0, 0, TRUE, TRUE)\n"
      "MOVEIMAGE(logo, 10, 10, 100)\n"
      "FREE(logo)\n");
  Frame();
  EXPECT_TRUE(Section(0).Commands[0]->Active);
  Frame();
  EXPECT_TRUE(Section(0).Objects.empty());
  EXPECT_TRUE(Section(0).Commands[0]->Target.expired());
  EXPECT_FALSE(Section(0).Commands[0]->Active);
}

// A WAITFOR or WAITFORPOS that cannot end by itself, in a section with nothing to click, says
// so once on stderr with its line; one that can end, or that a visible button can leave, says
// nothing. The wait goes on all the same.
TEST_F(Interpreter, AWaitThatCanOnlyHangSaysSoOnce) {
  TTempFolder temp;
  samples::TScriptFolderScope folder(temp.Path.string());
  temp.Write("tone.wav", soundsamples::WaveFile(soundsamples::Format(1, 22050, 16),
                                                soundsamples::Noise(22050)));
  temp.Write("b.spr", samples::SolidSpr(20, 20, samples::kRed));
  const std::string tone = "CREATESOUND(tone, tone.wav, FALSE, FALSE)\n";
  const std::string button = "CREATEBUTTON(b, , b.spr, , , 0, 0, 255, VISIBLE, ENABLED, RETURN)\n";
  const struct {
    const char* Name;
    std::string Script;
    std::string Told;  // after "t.vek:"; empty: nothing
  } cases[] = {
      {"freed", tone + "FREE(tone)\nWAITFOR(tone)\n",
       "3: warning: WAITFOR(TONE) will never end by itself (no object of that name is there "
       "(never declared before the line, or freed by FREE, FREESECTIONCONTROLS or JUMP)), and "
       "section <Main Section> has no visible button to click: play stays on this line\n"},
      {"of another section", tone + "CALL(PAGE)\n[PAGE]\nWAITFOR(tone)\n",
       "4: warning: WAITFOR(TONE) will never end by itself (the object belongs to another "
       "section), and section PAGE has no visible button to click: play stays on this line\n"},
      {"a sound that is not playing", tone + "WAITFORPOS(tone, 1000)\n",
       "2: warning: WAITFORPOS(TONE) will never end by itself (the sound is not playing), and "
       "section <Main Section> has no visible button to click: play stays on this line\n"},
      {"a sound that plays", tone + "PLAYSOUND(tone)\nWAITFORPOS(tone, 1000)\nWAIT(100000)\n", ""},
      {"a button to click", button + tone + "WAITFORPOS(tone, 1000)\n", ""},
      {"a hidden button", button + tone + "SETBUTTON(b, ENABLED, INVISIBLE, FALSE)\nWAITFOR(b)\n",
       "4: warning: WAITFOR(B) will never end by itself (a WAITFOR on a button or 3D object waits "
       "for a click), and section <Main Section> has no visible button to click: play stays on "
       "this line\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    testing::internal::CaptureStderr();
    Load(c.Script);
    Frames(20);
    const int32_t line = Section(0).CommandIndex;
    Frames(20);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, c.Told.empty() ? "" : "t.vek:" + c.Told);
    if (!c.Told.empty()) {
      EXPECT_EQ(Section(0).CommandIndex, line);  // still waiting
    }
  }
}

TEST_F(Interpreter, ClearFillsPixelPairs) {
  Load("CLEAR($001F)\nCLEAR($07E0F800)\nCLEAR()\nCLEAR(blue)\n");
  Frame();
  EXPECT_EQ(Pixel(0, 0), 0x001Fu);
  EXPECT_EQ(Pixel(1, 0), 0u);
  EXPECT_EQ(Pixel(638, 479), 0x001Fu);
  Frame();
  EXPECT_EQ(Pixel(0, 5), 0xF800u);
  EXPECT_EQ(Pixel(1, 5), 0x07E0u);
  Frame();  // a missing colour is -1: white
  EXPECT_EQ(Pixel(3, 3), 0xFFFFu);
  Frame();  // not a number: a warning and black
  EXPECT_EQ(Pixel(3, 3), 0u);
  EXPECT_EQ(Headless->Messages.back(), "Üzenet: Hibás egész szám effekt paraméter.");
}

TEST_F(Interpreter, HexadecimalIntegersAsScriptsWriteThemWhateverTheParserUpperCases) {
  // Lines are read in upper case: "0x" arrives as "0X", in declarations, commands and
  // effects alike.
  TTempFolder temp;
  samples::TScriptFolderScope folder(temp.Path.string());
  temp.Write("dot.spr", samples::SolidSpr(4, 4, samples::kBlue));
  Load(
      "CREATEIMAGE(dot, , dot.spr, 0x20, 0X10, FALSE, TRUE)\n"
      "CLEAR(0xF800F800)\n"
      "CLEAR(0x07e0001f)\n"
      "MOVEIMAGE(dot, 0x40, 0x10, 0)\n"
      "WAIT(100)\n");
  Frame();
  EXPECT_EQ(Pixel(0, 0), 0xF800u);
  EXPECT_EQ(Pixel(1, 0), 0xF800u);
  EXPECT_EQ(Pixel(33, 17), samples::kBlue);
  Frame();
  EXPECT_EQ(Pixel(0, 0), 0x001Fu);
  EXPECT_EQ(Pixel(1, 0), 0x07E0u);
  Frames(3);
  EXPECT_EQ(Pixel(65, 17), samples::kBlue);
  EXPECT_TRUE(Headless->Messages.empty()) << Headless->Messages.front();
}

TEST_F(Interpreter, ClearLooksTheSameInBothDisplayModesAnd555) {
  for (bool hardware : {false, true}) {
    Headless->Rgb555 = hardware;
    Load("CLEAR($7C00001F)\n", hardware);
    EXPECT_EQ(Veke->Engine->Display->SurfaceMode, hardware);
    EXPECT_EQ(Veke->Engine->Display->Is555, hardware);
    Frame();
    EXPECT_EQ(Pixel(10, 10), 0x001Fu);
    EXPECT_EQ(Pixel(11, 10), 0x7C00u);
  }
}

TEST_F(Interpreter, ReturnRestoresTheCallerBackgroundColour) {
  Load(
      "CLEAR($001F001F)\nCALL(red)\nWAITFOR(x)\n"
      "[RED]\nCLEAR($F800F800)\nRETURN\n");
  Frames(3);
  EXPECT_EQ(Pixel(5, 5), 0xF800u);
  Frame();  // RETURN
  EXPECT_TRUE(Veke->BackgroundSaved);
  EXPECT_EQ(Pixel(5, 5), 0x001Fu);
}

TEST_F(Interpreter, ReturnRedrawsTheCallerBackgroundPictureFile) {
  TTempFolder temp;
  samples::TScriptFolderScope folder(temp.Path.string());
  temp.Write("Back.spr", samples::SprBytes(640, 480, [](int32_t x, int32_t) {
               return x < 320 ? samples::kGreen : samples::kBlue;
             }));
  Load(
      "LOADBACKGROUND(, back.spr)\nCALL(red)\nWAITFOR(x)\n"
      "[RED]\nCLEAR($F800F800)\nRETURN\n");
  Frames(3);
  EXPECT_EQ(Pixel(5, 5), 0xF800u);
  Frame();  // RETURN
  EXPECT_EQ(Pixel(5, 5), samples::kGreen);
  EXPECT_EQ(Pixel(600, 470), samples::kBlue);
  EXPECT_EQ(Headless->Messages.size(), 1u);  // only the warning about the missing object
}

TEST_F(Interpreter, ProgramsKeepTheirCaseAndAreFoundBesideTheScriptThenOnPath) {
  TTempFolder temp;
  samples::TScriptFolderScope folder(temp.Path.string());
  const auto tool = temp.Write("Tools/Run.sh", "#!/bin/sh\n");
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  Load("EXECUTE(tools\\RUN.SH Arg \"Two Words\", ignored)\n"
       "EXECUTE(touch MixedCase)\n"
       "EXECUTE(No-Such-Program x)\n"
       "WINOPEN(http://Example.org/A_(b))\n");
  Veke->Start.AllowExecute = true;
  testing::internal::CaptureStderr();
  Frames(5);
  const std::string errors = testing::internal::GetCapturedStderr();
  ASSERT_EQ(Headless->Started.size(), 3u);
  EXPECT_EQ(Headless->Started[0], tool.string() + " Arg Two Words");
  EXPECT_TRUE(Headless->Started[1].ends_with("/touch MixedCase")) << Headless->Started[1];
  EXPECT_EQ(Headless->Started[2], "xdg-open http://Example.org/A_(b)");
  // The missing program is reported with its line and play goes on to the next command.
  EXPECT_NE(errors.find("t.vek:3: EXECUTE: cannot start No-Such-Program"), std::string::npos)
      << errors;
}

TEST_F(Interpreter, ProgramsStartOnlyWhenAllowedAndDocumentsOnlyFromTheTreeOrTheWeb) {
  TTempFolder temp, other;
  samples::TScriptFolderScope folder((temp.Path / "Show").string());
  const auto document = temp.Write("Show/Read Me.txt", "x");
  const auto secret = other.Write("secret.txt", "x");
  const std::string script =
      "EXECUTE(touch one)\nEXECUTE(touch two)\nWINOPEN(read me.TXT)\n"
      "WINOPEN(HTTPS://Example.org/x)\nWINOPEN(" +
      secret.string() + ")\nWINOPEN(ftp://example.org/x)\nWINOPEN(-x)\n";
  // Not allowed, allowed, and allowed on a host that starts no programs (a web page's).
  for (const int mode : {0, 1, 2}) {
    const bool allowed = mode > 0, starts = mode == 1;
    Headless->Started.clear();
    Headless->Messages.clear();
    Headless->RefusesPrograms = mode == 2 ? "no programs start here" : nullptr;
    Load(script);
    Veke->Start.AllowExecute = allowed;
    testing::internal::CaptureStderr();
    Frames(10);
    const std::string errors = testing::internal::GetCapturedStderr();
    std::vector<std::string> started = {"xdg-open " + document.string(),
                                        "xdg-open HTTPS://Example.org/x"};
    if (starts) started.insert(started.begin(), {"touch one", "touch two"});
    ASSERT_EQ(Headless->Started.size(), started.size()) << mode;
    for (size_t i = 0; i < started.size(); ++i)
      EXPECT_TRUE(Headless->Started[i].ends_with(started[i])) << Headless->Started[i];
    // Refused: once in a box, every time on stderr, with the way to allow it or the reason
    // there is none.
    const std::string refusal = mode == 2
                                    ? "EXECUTE: not starting touch two: no programs start here"
                                    : "EXECUTE: not starting touch two: programs start only when "
                                      "the player is started with --allow-execute";
    EXPECT_EQ(errors.find(refusal) != std::string::npos, !starts) << errors;
    EXPECT_EQ(Headless->Messages.size(), starts ? 0u : 1u);
    for (const char* told :
         {"not opening ", "cannot open ftp://example.org/x: neither", "cannot open -x: neither"})
      EXPECT_NE(errors.find(told), std::string::npos) << told << " not in:\n" << errors;
  }
}

TEST_F(Interpreter, AWarningRepeatedByALoopHasOneBoxPerPlay) {
  // Two sections that call each other and return: a loop that warns twice on every turn.
  const std::string script =
      "CALL(A)\n[A]\nCLEAR(abc)\nCLEAR(abc)\nCALL(B)\nRETURN\n[B]\nCALL(A)\nRETURN\n";
  testing::internal::CaptureStderr();
  Load(script);
  const uint64_t read = Headless->Boxes;  // what reading the script said
  Frames(200);
  const std::string errors = testing::internal::GetCapturedStderr();
  size_t repeats = 0;
  for (size_t at = 0; (at = errors.find("t.vek:3: Üzenet: Hibás egész szám effekt paraméter.",
                                        at)) != std::string::npos;
       ++at)
    ++repeats;
  EXPECT_GT(repeats, 20u);               // every turn of the loop on stderr
  EXPECT_EQ(Headless->Boxes, read + 2);  // a box for each of the two lines
  Load(script);                          // the next play shows them again
  Frames(200);
  EXPECT_EQ(Headless->Boxes, 2 * (read + 2));
}

TEST_F(Interpreter, MessagesOnStderrNameTheScriptLineThatCausedThem) {
  testing::internal::CaptureStderr();
  Load("LOADBACKGROUND(, Gone\\NoWhere.Jpg)\n"
       "CREATEIMAGE(pic, , nothere.bmp, 0, 0, TRUE, TRUE)\n"
       "CREATEBUTTON(b, , nothere.bmp, , , 0, 0, 255, VISIBLE, ENABLED, NOWHERE)\n"
       "WAIT(40)\n"
       "SHOWIMAGE(pic, TRUE, x)\n"
       "IMAGEALPHA(pic, x, 100)\n"
       "CALL(MISSING)\n");
  EXPECT_THROW(Frames(10), TFatalExit);
  // A click on the button leads nowhere: its declaration is the line to blame.
  TTempFolder temp;
  samples::TScriptFolderScope folder(temp.Path.string());
  temp.Write("b.spr", samples::SolidSpr(20, 20, samples::kRed));
  ASSERT_NO_THROW(Load("CREATEBUTTON(b, , b.spr, , , 0, 0, 255, VISIBLE, ENABLED, NOWHERE)\n"
                       "WAITFOR(b)\n"));
  Headless->Schedule(Headless->PlayedMs() + 40, THostEventType::MouseDown, 10, 10, true);
  Headless->Schedule(Headless->PlayedMs() + 60, THostEventType::MouseUp, 10, 10, false);
  EXPECT_THROW(Frames(10), TFatalExit);
  const std::string errors = testing::internal::GetCapturedStderr();
  // The engine's boxes have no caption, and a file is named as the script writes it.
  for (const char* line : {"t.vek:2: [GE Sprite] Load error! File: nothere.bmp\n",
                           "t.vek:1: [GE Sprite] Load error! File: Gone\\NoWhere.Jpg\n",
                           "t.vek:7: Üzenet: Nem létező szekció: MISSING\n",
                           "t.vek:1: Üzenet: Nem létező szekció: NOWHERE\n"})
    EXPECT_NE(errors.find(line), std::string::npos) << line << " not in:\n" << errors;
  // An effect's bad parameter is read when the effect starts, a frame after its line ran.
  EXPECT_NE(errors.find("t.vek:6: Üzenet: Hibás egész szám effekt paraméter."), std::string::npos)
      << errors;
  // The message boxes keep their own texts.
  EXPECT_EQ(Headless->Messages.back(), "Üzenet: Nem létező szekció: NOWHERE");
}

TEST_F(Interpreter, QuitEndsTheLoopAfterTheFrame) {
  Load("QUIT\nSHOWFPS\n");
  Frame();
  EXPECT_FALSE(Veke->Engine->Terminated);  // the quit message is taken by the next turn
  EXPECT_FALSE(Veke->Engine->RunOnce());
  EXPECT_TRUE(Veke->Engine->Terminated);
  EXPECT_FALSE(Veke->Engine->ShowFPS);
}
}  // namespace
