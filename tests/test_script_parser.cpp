// Reading scripts: sections, declarations, stored commands and the parse errors.
#include <gtest/gtest.h>

#include "ObjectSamples.h"
#include "Scene3DSamples.h"
#include "TestSupport.h"
#include "player/VEKEngine.h"

namespace {
class ScriptParser : public ::testing::Test, public THeadlessFixture {
 protected:
  TVEKE& Parse(const std::string& text) {
    Veke = std::make_unique<TVEKE>();
    Veke->LoadScriptText(text);
    return *Veke;
  }
  // The message with which the script stops.
  std::string Failure(const std::string& text) {
    try {
      Parse(text);
    } catch (const TFatalExit& fatal) {
      EXPECT_EQ(fatal.ExitCode, 1);
      return fatal.Message;
    }
    ADD_FAILURE() << "script parsed without error";
    return "";
  }
  TVKCommand& Command(int section, int index) { return *Veke->Sections[section]->Commands[index]; }

  std::unique_ptr<TVEKE> Veke;
};

TEST_F(ScriptParser, SectionsCollectTheirOwnCommandsAndMainComesFirst) {
  TVEKE& veke = Parse(
      "QUIT\n"
      "[intro]\n"
      "WAIT(100)\n"
      "[Intro]\n"
      "CALL(intro)\n");
  ASSERT_EQ(veke.Sections.size(), 3u);
  EXPECT_EQ(veke.Sections[0]->Name, "<Main Section>");
  EXPECT_EQ(veke.Sections[1]->Name, "INTRO");
  EXPECT_EQ(veke.Sections[2]->Name, "INTRO");  // a duplicate name is kept; lookups find the first
  EXPECT_EQ(veke.FindSection("INTRO"), veke.Sections[1].get());
  EXPECT_EQ(veke.CurrentSection, veke.Sections[0].get());
  EXPECT_EQ(Command(0, 0).Name, "QUIT");
  EXPECT_EQ(Command(1, 0).Params, "100");
  EXPECT_EQ(Command(2, 0).Params, "INTRO");
  for (const auto& section : veke.Sections) EXPECT_EQ(section->CommandIndex, -1);
}

TEST_F(ScriptParser, HeaderNamesKeepInnerBlanksAndRefuseReservedNames) {
  TVEKE& veke = Parse("[ two words ]\n");
  EXPECT_EQ(veke.Sections[1]->Name, " TWO WORDS ");
  EXPECT_EQ(Failure("\n// c\n[broken\n"), "Hibás szekciófej. Sor:3");
  EXPECT_EQ(Failure("[return]"), "Nem használható szekció név: RETURN Sor:1");
  EXPECT_EQ(Failure("[<Main Section>]"), "Nem használható szekció név: <MAIN SECTION> Sor:1");
}

TEST_F(ScriptParser, CommandWordsAndParametersFollowTheirTablePosition) {
  Parse(
      "quit\n"
      "QUIT()\n"
      "showfps(ignored)\n"
      "clear( $001f001f ) trailing\n"
      "execute(notepad.exe, x)\n"
      "WAIT\n"
      "FLYAWAY(1)\n");
  auto& commands = Veke->Sections[0]->Commands;
  ASSERT_EQ(commands.size(), 6u);  // the misspelt word is dropped silently
  EXPECT_EQ(commands[0]->Name, "QUIT");
  EXPECT_EQ(commands[1]->Name, "QUIT");
  EXPECT_EQ(commands[0]->Params, "");
  EXPECT_EQ(commands[2]->Params, "");  // positions 0-8 read nothing
  EXPECT_EQ(commands[3]->Params, "$001F001F");
  EXPECT_EQ(commands[4]->Params, "notepad.exe, x");
  EXPECT_EQ(commands[5]->Name, "WAIT");
  EXPECT_EQ(commands[5]->Params, "WAIT");  // no "(": the whole line is the parameter text
  EXPECT_TRUE(Headless->Messages.empty());
}

TEST_F(ScriptParser, ObjectCommandsFindEarlierObjectsAndWarnAboutOthers) {
  Parse(
      "CREATEIMAGE(logo, , logo.bmp, 10, 20, TRUE, VISIBLE)\n"
      "showimage(LOGO, visible, 128)\n"
      "[next]\n"
      "MOVEIMAGE(logo, 5, 6, 1000)\n"
      "WAITFOR(later)\n"
      "CREATEIMAGE(later, , a.bmp, 0, 0, FALSE, FALSE)\n"
      "SET3DZOOM(, 200)\n");
  TVKObject* logo = Veke->Sections[0]->Objects[0]->Obj.get();
  EXPECT_EQ(Veke->Sections[0]->Objects[0]->Name, "LOGO");
  EXPECT_EQ(Command(0, 0).Target.lock().get(), logo);
  EXPECT_EQ(Command(0, 0).Params, "VISIBLE, 128");
  EXPECT_EQ(Command(1, 0).Target.lock().get(), logo);  // found through the other sections
  EXPECT_TRUE(Command(1, 1).Target.expired());
  EXPECT_TRUE(Command(1, 2).Target.expired());
  EXPECT_EQ(Command(1, 2).Params, "200");
  // The zoom's placeholder is not an object; the pictures themselves are missing here, which
  // their sprites report apart from the parser's warnings.
  std::vector<std::string> warnings;
  for (const std::string& message : Headless->Messages)
    if (message.rfind("Üzenet: ", 0) == 0) warnings.push_back(message);
  EXPECT_EQ(warnings, std::vector<std::string>{"Üzenet: Nem létező objektum: LATER Sor:5"});
}

TEST_F(ScriptParser, QuotedParametersKeepCaseCommasAndQuotes) {
  Parse(
      "CREATEENGINE(800, 600, \"My Show, Part 1\", \"\")\n"
      "CREATETEXT(\"Title\", \"Hello, World (1)\", 1, 2, 300, 40, arial14)\n"
      "SHOWTEXT(\"Title\", visible)\n");
  EXPECT_EQ(Veke->Engine->Caption, "\"My Show, Part 1\"");
  EXPECT_EQ(Veke->Engine->Params.Width, 800);
  EXPECT_EQ(Veke->FontFile, "\"\"");  // quoted empty text is not empty
  EXPECT_EQ(Veke->Sections[0]->Objects[0]->Name, "\"Title\"");
  EXPECT_FALSE(Command(0, 0).Target.expired());
}

TEST_F(ScriptParser, UnquotedCaptionIsUpperCasedAndEmptyFontGivesTheDefault) {
  Parse("createengine(320, 200, my show, )\n");
  EXPECT_EQ(Veke->Engine->Caption, "MY SHOW");
  EXPECT_EQ(Veke->Engine->Params.Height, 200);
  EXPECT_EQ(Veke->FontFile, "Res\\Fonts16bit.ger");
}

TEST_F(ScriptParser, ParseErrorsCountEveryLine) {
  EXPECT_EQ(Failure("\n\n// comment\nCREATEIMAGE(a, , b.bmp, 1, 2, TRUE, MAYBE)\n"),
            "Hibás logikai paraméter. Sor:4");
  EXPECT_EQ(Failure("CREATEIMAGE(a, , b.bmp, 1x, 2, TRUE, TRUE)"),
            "Hibás egész szám paraméter. Sor:1");
  EXPECT_EQ(Failure("CREATEIMAGE(a, , b.bmp, 1, 2, TRUE"), "Paraméter hiba. Sor:1");
  EXPECT_EQ(Failure("CREATETEXT(t, \"unclosed, 1, 2, 3, 4, x)"), "Paraméter hiba. Sor:1");
  EXPECT_EQ(Failure("WAITFOR(thing"), "Paraméter hiba. Sor:1");
  EXPECT_EQ(Failure("CREATE3DOBJ(o, , a.3do, t1, t2, WIRED, SPHERE, 1, 2, 1,5, TRUE, TRUE)"),
            "Hibás logikai paraméter. Sor:1");  // "1,5" splits: 5 lands on a boolean
  EXPECT_EQ(Failure("CREATE3DOBJ(o, , a.3do, t1, t2, WIRED, SPHERE, 1, 2, x, TRUE, TRUE)"),
            "Hibás egész szám paraméter. Sor:1");
}

TEST_F(ScriptParser, LineEndsOfEverySystemCountAlike) {
  for (std::string end : {"\n", "\r\n", "\r"}) {
    EXPECT_EQ(Failure("QUIT" + end + end + "[bad" + end), "Hibás szekciófej. Sor:3") << end.size();
  }
}

TEST_F(ScriptParser, Utf8ScriptsAreReadAsCodePage1250) {
  const std::string text = "CREATETEXT(t, \"Árvíztűrő\", 0, 0, 100, 20, ARIAL14)\nCALL(ő)\n";
  for (const std::string& prefix : {std::string(), std::string("\xEF\xBB\xBF")}) {
    Parse(prefix + text);
    EXPECT_EQ(Command(0, 0).Params, "\xF5");  // ő, which ASCII upper-casing leaves alone
    EXPECT_EQ(Veke->Sections[0]->Objects.size(), 1u);
  }
  Parse("CALL(\xE1rv\xEDz)\n");  // already code page 1250: kept byte for byte
  EXPECT_EQ(Command(0, 0).Params, "\xE1RV\xEDZ");
}

TEST_F(ScriptParser, ObjectsBeforeAnEngineGetTheDefaultEngine) {
  Parse("CREATESOUND(music, song.mp3, FALSE, LOOPED)\n");
  ASSERT_TRUE(Veke->EngineCreated);
  EXPECT_EQ(Veke->Engine->Params.Width, 640);
  EXPECT_EQ(Veke->Engine->Caption, "VEKE");
  EXPECT_EQ(Veke->Sections[0]->Objects[0]->Kind, kKindSound);
}

TEST_F(ScriptParser, SecondEngineAfterObjectsStopsInsteadOfOrphaningThem) {
  EXPECT_EQ(Failure("CREATEIMAGE(a, , b.bmp, 1, 2, TRUE, TRUE)\nCREATEENGINE(640, 480, X, )\n"),
            "A CREATEENGINE sor nem állhat objektum-deklaráció után. Sor:2");
  Parse("CREATEENGINE(640, 480, A, )\nCREATEENGINE(800, 600, B, )\n");
  EXPECT_EQ(Veke->Engine->Caption, "B");  // with no objects yet the engine is replaced
}

TEST_F(ScriptParser, DeclarationsOfEveryKindBecomeEntries) {
  TTempFolder temp;
  temp.Write("cube.3d", samples::CubeBytes(10));
  samples::TScriptFolderScope folder(temp.Path.string());
  Parse(
      "CREATEIMAGE(i, , a.bmp, 1, 2, TRUE, TRUE)\n"
      "CREATEBUTTON(b, res.ger, n, , , 1, 2, 255, VISIBLE, ENABLED, next)\n"
      "CREATETEXT(t, \"x\", 1, 2, 3, 4, ARIAL14)\n"
      "CREATEANIM(v, clip.avi, 1, 2, 3, 4, AUTODONE, NOLOOPED)\n"
      "CREATESOUND(s, a.wav, TRUE, FALSE)\n"
      "CREATE3DOBJ(o, , cube.3d, t1, , TEXTMAP, OBJECTSXY, 1, 2, 1.5e0, NOSHOWINVISIBLEFACES, ON)\n");
  const auto& objects = Veke->Sections[0]->Objects;
  ASSERT_EQ(objects.size(), 6u);
  for (size_t i = 0; i < objects.size(); ++i) {
    EXPECT_EQ(objects[i]->Kind, i + 1);
    EXPECT_EQ(objects[i]->Obj->Kind, i + 1);
  }
  EXPECT_EQ(RenderModeCode("PHONG"), 5);
  EXPECT_EQ(RenderModeCode("SHINY"), 0);
  EXPECT_EQ(MappingCode("OBJECTSNEGXZ"), 13);
  EXPECT_EQ(MappingCode("STOREDUV"), 0);
  EXPECT_EQ(MappingCode("ROUND"), 2);
}

TEST_F(ScriptParser, HostileInputNeverCrashes) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
  try {
    Parse(garbage);
  } catch (const TFatalExit& fatal) {
    EXPECT_EQ(fatal.ExitCode, 1);
  }
  Parse(std::string("CALL(a\0b)\n", 10));
  EXPECT_EQ(Command(0, 0).Params, std::string("A\0B", 3));
  Parse("");
  EXPECT_TRUE(Veke->Sections[0]->Commands.empty());
  std::string longLine = "CALL(" + std::string(50 << 20, 'a') + ")";
  Parse(longLine);
  EXPECT_EQ(Command(0, 0).Params.size(), 50u << 20);
}
}  // namespace
