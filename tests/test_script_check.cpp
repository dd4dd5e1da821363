// Checking scripts without playing them: each kind of mistake reported at its line, the same
// words as the player where it has them, and nothing at all for scripts that are right.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "HeapCounter.h"
#include "ObjectSamples.h"
#include "PictureSamples.h"
#include "SoundSamples.h"
#include "TestSupport.h"
#include "player/VEKCheck.h"
#include "player/VEKEngine.h"

namespace {
using namespace samples;
using namespace soundsamples;
using TLines = std::vector<std::string>;

// Scripts in a folder of their own, with a picture "sun.spr" beside them.
class ScriptCheck : public ::testing::Test, public THeadlessFixture {
 protected:
  void SetUp() override { Temp.Write("sun.spr", SolidSpr(4, 4, kRed)); }
  // "LINE: MESSAGE" of every finding, in order.
  TLines Check(const std::string& script) {
    TLines lines;
    for (const TFinding& finding : CheckScriptText(script))
      lines.push_back(std::to_string(finding.Line) + ": " + (finding.Warning ? "warning: " : "") +
                      finding.Message);
    return lines;
  }
  // The message with which the player stops reading the same script.
  std::string PlayerStops(const std::string& script) {
    try {
      TVEKE().LoadScriptText(script);
    } catch (const TFatalExit& fatal) {
      return fatal.Message;
    }
    return "";
  }

  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(ScriptCheck, EveryParseErrorIsListedWithThePlayersOwnText) {
  EXPECT_EQ(
      Check("[broken\n"
            "\n"
            "CREATEIMAGE(a, , sun.spr, one, 2, TRUE, TRUE)\n"
            "CREATEIMAGE(b, , sun.spr, 1, 2, TRUE, YES)\n"
            "CREATEIMAGE(c, , sun.spr, 1, 2)\n"
            "CREATETEXT(t, \"open, 1, 2, 3, 4, ARIAL14)\n"
            "[return]\n"
            "SHOWIMAGE\n"
            "CREATEIMAGE(d, , sun.spr, 1, 2, TRUE, TRUE\n"
            "CREATEENGINE(640, 480, T, )\n"),
      (TLines{
          "1: section header without \"]\" (Hibás szekciófej.)",
          "3: CREATEIMAGE: parameter 4 is not a number: \"ONE\" (Hibás egész szám paraméter.)",
          "4: CREATEIMAGE: parameter 7 is not a boolean word: \"YES\" (Hibás logikai "
          "paraméter.)",
          "5: CREATEIMAGE: parameter 6 is missing (Paraméter hiba.)",
          "6: CREATETEXT: parameter 2 has no closing quote (Paraméter hiba.)",
          "7: section name \"RETURN\" is reserved (Nem használható szekció név: RETURN)",
          "8: SHOWIMAGE needs its parameters in parentheses (Paraméter hiba.)",
          "9: missing \")\" (Paraméter hiba.)",
          "10: CREATEENGINE after an object declaration (A CREATEENGINE sor nem állhat "
          "objektum-deklaráció után.)",
      }));
  // One mistake at a time, the player stops at the line with the same words.
  for (const std::string script :
       {"\n\nCREATEIMAGE(a, , sun.spr, 1, 2, TRUE, YES)\n", "[return]\n", "SHOWIMAGE(x\n",
        "CREATEIMAGE(a, , sun.spr, 1, 2, TRUE, TRUE)\nCREATEENGINE(640, 480, T, )\n"}) {
    const TLines findings = Check(script);
    ASSERT_EQ(findings.size(), 1u) << script;
    const std::string& finding = findings[0];
    const size_t open = finding.rfind(" (");
    EXPECT_EQ(PlayerStops(script), finding.substr(open + 2, finding.size() - open - 3) +
                                       " Sor:" + finding.substr(0, finding.find(':')));
  }
}

// A field left out shifts the later values one place back; the value that does not fit its
// place fits the next one.
TEST_F(ScriptCheck, AFieldLeftOutIsToldWhenTheValuesFitOnePlaceFurtherOn) {
  const std::string hint = "; a parameter seems to be missing before it (";
  const struct {
    std::string Line, Finding;
  } cases[] = {
      {"CREATEIMAGE(Sun, sun.spr, 0, 0, TRUE, TRUE)",
       "CREATEIMAGE: parameter 5 is not a number: \"TRUE\"" + hint +
           "6 given, CREATEIMAGE takes 7; an empty one still needs its comma)"},
      {"CREATEBUTTON(B, , sun.spr, , 0, 0, 255, VISIBLE, ENABLED, X)",
       "CREATEBUTTON: parameter 8 is not a number: \"VISIBLE\"" + hint +
           "10 given, CREATEBUTTON takes 11; an empty one still needs its comma)"},
      {"CREATEANIM(K, clip.avi, 0, 0, 0, FALSE, FALSE)",
       "CREATEANIM: parameter 6 is not a number: \"FALSE\"" + hint +
           "7 given, CREATEANIM takes 8; an empty one still needs its comma)"},
      // Two short, or a value that fits neither place: nothing to suggest.
      {"CREATEIMAGE(Sun, sun.spr, 0, TRUE, TRUE)",
       "CREATEIMAGE: parameter 4 is not a number: \"TRUE\""},
      {"CREATEIMAGE(Sun, , sun.spr, 0, X, TRUE)",
       "CREATEIMAGE: parameter 5 is not a number: \"X\""},
  };
  for (const auto& [line, finding] : cases) {
    const TLines findings = Check(line + "\n");
    ASSERT_EQ(findings.size(), 1u) << line;
    EXPECT_EQ(findings[0].substr(0, findings[0].rfind(" (")), "1: " + finding) << line;
  }
  // The player stops with its own words, as before.
  EXPECT_EQ(PlayerStops("CREATEIMAGE(Sun, sun.spr, 0, 0, TRUE, TRUE)\n"),
            "Hibás egész szám paraméter. Sor:1");
}

TEST_F(ScriptCheck, UnknownWordsAreListedWithTheWordMeant) {
  EXPECT_EQ(Check("SHOWIMAG(x, TRUE)\n"
                  "QUIT // the end\n"
                  "FLYAWAY(1)\n"
                  "crateimage(a, , sun.spr, 1, 1, TRUE, TRUE)\n"
                  "SHWOIMAGE\n"),
            (TLines{
                "1: unknown command \"SHOWIMAG\" (did you mean \"SHOWIMAGE\"?)",
                "2: unknown command \"QUIT // THE END\" (did you mean \"QUIT\"?)",
                "3: unknown command \"FLYAWAY\"",
                "4: unknown command \"CRATEIMAGE\" (did you mean \"CREATEIMAGE\"?)",
                "5: unknown command \"SHWOIMAGE\" (did you mean \"SHOWIMAGE\"?)",
            }));
  // Short words bear one slip only.
  EXPECT_EQ(DidYouMean("QIT", {"QUIT", "WAIT"}), " (did you mean \"QUIT\"?)");
  EXPECT_EQ(DidYouMean("QT", {"QUIT"}), "");
  EXPECT_EQ(DidYouMean("JMUP", {"QUIT", "JUMP"}), " (did you mean \"JUMP\"?)");
}

// Scripts of any size and shape are checked in time and memory that grow with their length
// only: no line is kept, sections are found by name, reachability is one walk.
TEST_F(ScriptCheck, CostGrowsWithTheScriptOnly) {
  const std::string emptyLines(400000, '\n');
  THeapWatch watch;
  EXPECT_TRUE(CheckScriptText(emptyLines).empty());
  // The decoded copy of the text and little else (0 under AddressSanitizer, which counts
  // nothing).
  EXPECT_LE(watch.Peak(), 3 * emptyLines.size());

  const std::string longWord(200000, 'Q');
  EXPECT_EQ(DidYouMean(longWord, {"QUIT"}), "");
  EXPECT_EQ(DidYouMean("QUIT", {longWord}), "");

  // A chain of sections each entered from the one before: all reachable, none told about.
  std::string chain = "CALL(S0)\n";
  for (int i = 0; i < 3000; ++i)
    chain += "[S" + std::to_string(i) + "]\nCALL(S" + std::to_string(i + 1) + ")\nRETURN\n";
  chain += "[S3000]\nRETURN\n";
  EXPECT_EQ(Check(chain), TLines{});
}

TEST_F(ScriptCheck, ObjectsMustBeDeclaredAboveAndOfTheKindTheCommandTakes) {
  EXPECT_EQ(Check("CREATEIMAGE(Sun, , sun.spr, 0, 0, TRUE, TRUE)\n"
                  "CREATEBUTTON(Go, , sun.spr, , , 0, 0, 255, VISIBLE, ENABLED, RETURN)\n"
                  "SETBUTTON(Sun, ENABLED, VISIBLE, FALSE)\n"
                  "WAITFORPOS(Sun, 100)\n"
                  "WAITFOR(Go)\n"
                  "MOVEIMAGE(Sunn, 1, 2, 3)\n"
                  "SHOWIMAGE(Later, TRUE)\n"
                  "CREATEIMAGE(Later, , sun.spr, 0, 0, TRUE, TRUE)\n"
                  "SET3DZOOM(, 200)\n"
                  "CREATEIMAGE(Sun, , sun.spr, 0, 0, TRUE, TRUE)\n"
                  "CALL(Other)\n"
                  "[Other]\n"
                  "CREATEIMAGE(Later, , sun.spr, 0, 0, TRUE, TRUE)\n"
                  "SHOWIMAGE(Sun, TRUE)\n"
                  "FREE(Go)\n"),
            (TLines{
                "3: SETBUTTON acts on a button, but \"SUN\" is an image (line 1)",
                "4: WAITFORPOS acts on a video or a sound, but \"SUN\" is an image (line 1)",
                "6: no object \"SUNN\" is declared (did you mean \"SUN\"?) (Nem létező objektum: "
                "SUNN)",
                "7: object \"LATER\" is used before its declaration on line 8 (Nem létező "
                "objektum: LATER)",
                "10: duplicate object name \"SUN\" in this section, first on line 1",
            }));
  // Telling is not showing: no message box was opened.
  EXPECT_TRUE(Headless->Messages.empty());
}

TEST_F(ScriptCheck, TargetsMustNameSectionsAndEverySectionMustBeReachable) {
  EXPECT_EQ(
      Check("CREATEBUTTON(Go, , sun.spr, , , 0, 0, 255, VISIBLE, ENABLED, Menu)\n"
            "CREATEBUTTON(Back, , sun.spr, , , 0, 0, 255, VISIBLE, ENABLED, return )\n"
            "CALL(Intro2)\n"
            "JUMP(\"Intro\")\n"
            "CALL(Intro)\n"
            "[Intro]\n"
            "CREATEBUTTON(Far, , sun.spr, , , 0, 0, 255, VISIBLE, ENABLED, Away)\n"
            "[Menu]\n"
            "CREATEBUTTON(Deep, , sun.spr, , , 0, 0, 255, VISIBLE, ENABLED, Deeper)\n"
            "[Deeper]\n"
            "[Orphan]\n"
            "CALL(Lost)\n"
            "[Lost]\n"
            "[Intro]\n"
            "[ Spaced ]\n"
            "CALL(Spaced)\n"),
      (TLines{
          "3: CALL names no section \"INTRO2\" (did you mean \"INTRO\"?) (Nem létező "
          "szekció: INTRO2)",
          "4: JUMP names no section \"\"INTRO\"\" (did you mean \"INTRO\"?) (Nem létező "
          "szekció: \"INTRO\")",
          "7: button \"FAR\" names no section \"AWAY\" (Nem létező szekció: AWAY)",
          "11: section \"ORPHAN\" cannot be reached: no CALL, JUMP or button of a section "
          "that plays enters it",
          "13: section \"LOST\" cannot be reached: no CALL, JUMP or button of a section that "
          "plays enters it",
          "14: duplicate section \"INTRO\": CALL, JUMP and buttons enter the first, on line 6",
          "15: section \" SPACED \" cannot be reached: no CALL, JUMP or button of a section "
          "that plays enters it",
          "16: CALL names no section \"SPACED\" (did you mean \" SPACED \"?) (Nem létező "
          "szekció: SPACED)",
      }));
}

TEST_F(ScriptCheck, FilesAreFoundAsThePlayerFindsThemAndMustLoad) {
  Temp.Write("Pics/Sun.spr", SolidSpr(4, 4, kRed));
  Temp.Write("broken.bmp", "not a picture");
  const std::vector<uint8_t> jpeg = EncodeJpeg(MakePattern(32, 32));
  Temp.Write("photo.jpg", std::string(jpeg.begin(), jpeg.begin() + jpeg.size() / 2));
  WriteResourceFile((Temp.Path / "pics.ger").string(),
                    {RawEntry("Solid", 4, 4, std::vector<uint16_t>(16, kRed)),
                     RawEntry("cube", 0, 0, {1, 2, 3}), RawEntry("tex", 0, 0, {1})});
  Temp.Write("notres.ger", "GEResource0.99");
  Temp.Write("words.txt", "Hello\r\nworld\r\n");
  Temp.Write("beep.wav", WaveFile(Format(1, 22050, 16), Ramp(4410)));
  Temp.Write("junk.avi", "RIFF junk");
  std::filesystem::copy_file(std::string(VEKE_SOURCE_DIR) + "/examples/demo/clip.avi",
                             Temp.Path / "clip.avi");
  const TLines findings = Check(
      "CREATEBACKGROUND(, PICS\\sun.SPR)\n"
      "CREATEIMAGE(A, , pics\\moon.spr, 0, 0, TRUE, TRUE)\n"
      "CREATEIMAGE(B, , broken.bmp, 0, 0, TRUE, TRUE)\n"
      "CREATEIMAGE(C, Pics.GER, solid, 0, 0, TRUE, TRUE)\n"
      "CREATEIMAGE(D, pics.ger, Soild, 0, 0, TRUE, TRUE)\n"
      "CREATEIMAGE(E, notres.ger, Solid, 0, 0, TRUE, TRUE)\n"
      "CREATEBUTTON(F, , pics\\sun.spr, Hover.spr, , 0, 0, 255, VISIBLE, ENABLED, RETURN)\n"
      "CREATETEXT(G, words.txt, 0, 0, 100, 20, ARIAL14)\n"
      "CREATETEXT(H, nowords.txt, 0, 0, 100, 20, ARIAL14)\n"
      "CREATESOUND(I, BEEP.WAV, FALSE, FALSE)\n"
      "CREATESOUND(J, silence.wav, FALSE, FALSE)\n"
      "CREATEANIM(K, clip.avi, 0, 0, 0, 0, FALSE, FALSE)\n"
      "CREATEANIM(L, junk.avi, 0, 0, 0, 0, FALSE, FALSE)\n"
      "CREATE3DOBJ(M, pics.ger, cube, tex, , TEXTMAP, SPHERE, 0, 0, 1.0, NOSHOWINVISIBLEFACES, "
      "ON)\n"
      "CREATE3DOBJ(N, pics.ger, sphere, tex, wood, TEXTMAP, SPHERE, 0, 0, 1, ON, ON)\n"
      "CREATE3DOBJ(O, , cube.3do, , , WIRED, SPHERE, 0, 0, 1, ON, ON)\n"
      "LOADBACKGROUND(, Photo.JPG)\n"
      "CREATEIMAGE(P, , , 0, 0, TRUE, TRUE)\n");
  const TLines expected{
      "2: file not found: pics\\moon.spr",
      "3: picture does not load: broken.bmp: Unknown picture format (DecodePicture)",
      "5: resource file pics.ger has no entry \"Soild\" (did you mean \"Solid\"?)",
      "6: not a resource file: notres.ger",
      "7: file not found: Hover.spr",
      "9: file not found: nowords.txt",
      "11: file not found: silence.wav",
      "13: video does not open: ",
      "15: resource file pics.ger has no entry \"sphere\"",
      "15: resource file pics.ger has no entry \"wood\"",
      "16: file not found: cube.3do",
      "17: picture does not load: Photo.JPG: JPEG error: ",
      "18: a file name is missing",
  };
  ASSERT_EQ(findings.size(), expected.size()) << ::testing::PrintToString(findings);
  // The decoders' own reasons follow where the expected text ends in ": ".
  for (size_t i = 0; i < expected.size(); ++i)
    if (expected[i].ends_with(": "))
      EXPECT_TRUE(findings[i].starts_with(expected[i])) << findings[i];
    else
      EXPECT_EQ(findings[i], expected[i]);
}

// What must lie beside a script for it to play (a web page fetches just these): every file
// it names, once, as it writes it, whether there or not; quoted texts are no files, and the
// default font comes with the player.
TEST_F(ScriptCheck, TheFilesAScriptNamesAreListedOnceEachAsWritten) {
  const struct {
    std::string Script;
    TLines Files;
  } cases[] = {
      {"CREATEBACKGROUND(, PICS\\sun.SPR)\n"
       "CREATEIMAGE(A, , sun.spr, 0, 0, TRUE, TRUE)\n"
       "CREATEIMAGE(B, pics.ger, solid, 0, 0, TRUE, TRUE)\n"
       "CREATEBUTTON(C, pics.ger, up, Hover, , 0, 0, 255, VISIBLE, ENABLED, RETURN)\n"
       "CREATEIMAGE(D, , sun.spr, 5, 5, TRUE, TRUE)\n",
       {"PICS\\sun.SPR", "sun.spr", "pics.ger"}},
      {"CREATETEXT(G, words.txt, 0, 0, 100, 20, ARIAL14)\n"
       "CREATETEXT(H, \"no file\", 0, 0, 100, 20, ARIAL14)\n"
       "CREATESOUND(I, BEEP.WAV, FALSE, FALSE)\n"
       "CREATEANIM(K, clips\\clip.avi, 0, 0, 0, 0, FALSE, FALSE)\n"
       "CREATE3DOBJ(O, , cube.3do, wood.bmp, , TEXTMAP, SPHERE, 0, 0, 1, ON, ON)\n",
       {"words.txt", "BEEP.WAV", "clips\\clip.avi", "cube.3do", "wood.bmp"}},
      {"CREATEENGINE(640, 480, T, Own.ger)\n"
       "CREATETEXT(A, \"x\", 0, 0, 99, 9, ARIAL14)\n"
       "[page]\n"
       "LOADBACKGROUND(, night.jpg)\n",
       {"Own.ger", "night.jpg"}},
  };
  for (const auto& [script, files] : cases) {
    Temp.Write("script.vek", script);
    EXPECT_EQ(OutlineScript((Temp.Path / "script.vek").string()).Files, files) << script;
  }
}

TEST_F(ScriptCheck, TextsMustBeDrawableInTheirFace) {
  // The default font has no "&", ";" or "'", but every Hungarian letter.
  EXPECT_EQ(Check("CREATETEXT(A, \"Árvíztűrő tükörfúrógép & co; 'x'\", 0, 0, 99, 9, ARIAL14)\n"
                  "CREATETEXT(B, \"fine\", 0, 0, 99, 9, ARIAL16)\n"
                  "CREATETEXT(C, \"fine\", 0, 0, 99, 9, )\n"),
            (TLines{
                "1: face ARIAL14 cannot draw \"&\" \";\" \"'\"",
                "2: unknown font face \"ARIAL16\", drawn in CURRIER12 (did you mean \"ARIAL14\"?)",
            }));
  // A face whose sheet ends after its first row of glyphs ("0" to "l") draws nothing after it.
  TResourceWriteEntry half = ProportionalSheet(1);
  std::fill(half.Payload.begin() + kSampleLineHeight[1] * kSheetWidth * 2, half.Payload.end(), 0);
  WriteResourceFile((Temp.Path / "half.ger").string(), {FixedSheet(), half});
  Temp.Write("lamp.txt", "lamp\r\nLAMP");
  EXPECT_EQ(Check("CREATEENGINE(640, 480, T, Half.ger)\n"
                  "CREATETEXT(A, lamp.txt, 0, 0, 99, 9, ARIAL14)\n"
                  "CREATETEXT(B, \"lamp\", 0, 0, 99, 9, CURRIER12)\n"
                  "CREATETEXT(C, \"lamp\", 0, 0, 99, 9, ARIAL18)\n"
                  "CREATETEXT(D, \"lamp\", 0, 0, 99, 9, ARIAL24)\n"),
            (TLines{
                "1: font file Half.ger: Arial18 resource not found! (ReadByName, ReadByNumber)",
                "1: font file Half.ger: Arial24 resource not found! (ReadByName, ReadByNumber)",
                "2: face ARIAL14 cannot draw \"m\" \"p\"",
            }));
  // A missing font file is told once, where it is named.
  EXPECT_EQ(Check("CREATEENGINE(640, 480, T, NoFont.ger)\n"
                  "CREATETEXT(A, \"x\", 0, 0, 99, 9, ARIAL14)\n"
                  "CREATETEXT(B, \"x\", 0, 0, 99, 9, ARIAL18)\n"),
            (TLines{"1: file not found: NoFont.ger"}));
}

TEST_F(ScriptCheck, UnclosedParenthesesAreListedWhereThePlayerReadsOnRegardless) {
  Temp.Write("beep.wav", WaveFile(Format(1, 22050, 16), Ramp(441)));
  EXPECT_EQ(Check("WAIT(100\n"
                  "CREATESOUND(s, beep.wav, FALSE, FALSE,\n"
                  "QUIT(\n"
                  "MOVEIMAGE(s, 1, 2, 3\n"
                  "WAIT(100)\n"),
            (TLines{
                "1: missing \")\"",
                "2: missing \")\"",
                "3: missing \")\"",
                "4: missing \")\"",
                "4: MOVEIMAGE acts on an image, but \"S\" is a sound (line 2)",
            }));
}

// The demo's pages play their sounds, clips and moves on the first visit only, as the original
// player's demos did; that is all the checker has to say about it.
TEST_F(ScriptCheck, TheDemoIsCleanButForItsPagesComingBack) {
  const std::string demo = std::string(VEKE_SOURCE_DIR) + "/examples/demo/demo.vek";
  const std::vector<TFinding> findings = CheckScript(demo);
  EXPECT_FALSE(findings.empty());
  for (const TFinding& finding : findings) {
    EXPECT_TRUE(finding.Warning) << finding.Line << ": " << finding.Message;
    EXPECT_NE(finding.Message.find("can be entered more than once"), std::string::npos)
        << finding.Line << ": " << finding.Message;
  }
  EXPECT_TRUE(Headless->Messages.empty());
}

// Where a page can hang or fall silent: each warning at its line, none where RESETSECTION,
// a button or a wait on the section's own object takes care of it.
TEST_F(ScriptCheck, PagesThatCanHangOrFallSilentAreWarnedAbout) {
  Temp.Write("ding.wav", WaveFile(Format(1, 22050, 16), Noise(400)));
  const std::string page =
      "[PAGE]\n"
      "CREATESOUND(Ding, ding.wav, FALSE, FALSE)\n"
      "CREATEIMAGE(Pic, , sun.spr, 0, 0, TRUE, TRUE)\n"
      "PLAYSOUND(Ding)\n"
      "MOVEIMAGE(Pic, 10, 10, 100)\n"
      "WAITFOR(Ding)\n";
  const std::string silent =
      ": warning: PLAYSOUND plays its sound only the first time this line runs, but section "
      "\"PAGE\" can be entered more than once, so later visits do without it. Put RESETSECTION "
      "before it to run it on every visit";
  const std::string still =
      ": warning: MOVEIMAGE starts its effect only the first time this line runs (run again, it "
      "lands at once on its old target), but section \"PAGE\" can be entered more than once, so "
      "later visits do without it. Put RESETSECTION before it to run it on every visit";
  const std::string freed =
      ": warning: WAITFOR on \"DING\": the JUMP on line 8 frees the objects of section \"PAGE\", "
      "so when the section is entered again \"DING\" is gone and the wait waits for a click "
      "instead. Put RESETSECTION before it to make \"DING\" again on every visit";
  const auto noButton = [](const std::string& wait, const std::string& object,
                           const std::string& section) {
    return ": warning: " + wait + " on \"" + object + "\" can only end by a click, but section \"" +
           section +
           "\" has no button to click: play stays on this line until the "
           "presentation is closed. Declare a button in the section, or wait for an object of "
           "the section";
  };
  const struct {
    const char* Name;
    std::string Script;
    TLines Findings;
  } cases[] = {
      {"called once", "CALL(PAGE)\n" + page + "RETURN\n", {}},
      {"called twice", "CALL(PAGE)\nCALL(PAGE)\n" + page + "RETURN\n", {"6" + silent, "7" + still}},
      {"called twice, with RESETSECTION",
       "CALL(PAGE)\nCALL(PAGE)\n" + page.substr(0, page.find("PLAY")) + "RESETSECTION\n" +
           page.substr(page.find("PLAY")) + "RETURN\n",
       {}},
      {"called by a section called twice",
       "CALL(MENU)\nCALL(MENU)\n[MENU]\nCALL(PAGE)\nRETURN\n" + page + "RETURN\n",
       {"9" + silent, "10" + still}},
      {"a loop of jumps",
       "JUMP(PAGE)\n" + page + "JUMP(HUB)\n[HUB]\nJUMP(PAGE)\n",
       {"5" + silent, "6" + still, "7" + freed}},
      {"a button whose page returns",
       "CREATEBUTTON(Go, , sun.spr, , , 0, 0, 255, VISIBLE, ENABLED, PAGE)\nWAITFOR(Go)\n" + page +
           "RETURN\n",
       {"6" + silent, "7" + still}},
      {"a wait on an object of another section",
       "CREATESOUND(Music, ding.wav, FALSE, FALSE)\nCALL(PAGE)\n[PAGE]\nWAITFOR(Music)\n",
       {"4: warning: WAITFOR on \"MUSIC\", an object of section \"<Main Section>\" (line 1), "
        "waits for a click, not for the object: a section's waits see only its own objects. "
        "Declare \"MUSIC\" in section \"PAGE\" to wait for it",
        "4" + noButton("WAITFOR", "MUSIC", "PAGE")}},
      {"waits for a click with a button",
       "CREATEBUTTON(Go, , sun.spr, , , 0, 0, 255, VISIBLE, ENABLED, RETURN)\nWAITFOR(Go)\n",
       {}},
      {"waits for a click without one",
       "CREATEIMAGE(Pic, , sun.spr, 0, 0, TRUE, TRUE)\nWAITFORPOS(Pic, 10)\n",
       {"2: WAITFORPOS acts on a video or a sound, but \"PIC\" is an image (line 1)",
        "2" + noButton("WAITFORPOS", "PIC", "<Main Section>")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Check(c.Script), c.Findings);
  }
}
}  // namespace
