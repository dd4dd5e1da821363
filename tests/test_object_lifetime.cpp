// Objects that scripts free while commands, effects and other sections still name them: every
// later command or effect on them does nothing, whichever way they went and wherever the
// command stands. Run under AddressSanitizer these also prove that nothing reads freed memory.
#include <gtest/gtest.h>

#include <random>

#include "ObjectSamples.h"
#include "Scene3DSamples.h"
#include "TestSupport.h"
#include "graphics/SE_Sprite.h"

namespace {
using namespace samples;

const std::string kSetUp = "CREATEENGINE(640, 480, T, FONTS.GER)\nCLEAR($84108410)\n";

class ObjectLifetime : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    WriteFontFile(Temp, "fonts.ger");
    Temp.Write("sun.spr", SolidSpr(20, 20, kRed));
    Temp.Write("btn.spr", SolidSpr(30, 10, kGreen));
    Temp.Write("cube.3d", samples::CubeBytes(40));
  }
  TVEKE& Play(const std::string& script) { return Load(kSetUp + script); }
  // True when the frame shows the cleared background over the whole square.
  bool Empty(int32_t x, int32_t y, int32_t size = 20) {
    for (int32_t dy = 0; dy < size; ++dy)
      for (int32_t dx = 0; dx < size; ++dx)
        if (Pixel(x + dx, y + dy) != kGrey) return false;
    return true;
  }

  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(ObjectLifetime, CommandsOnObjectsFreedBySectionClearingOrJumpDoNothing) {
  Play("CREATEIMAGE(A, , sun.spr, 10, 10, TRUE, TRUE)\n"
       "SHOWIMAGE(A)\n"
       "FREESECTIONCONTROLS\n"
       "SETIMAGEPOS(A, 50, 50, TRUE)\n"
       "SHOWIMAGE(A, VISIBLE, 128)\n"
       "MOVEIMAGE(A, 300, 200, 100)\n"
       "WAIT(200)\n");
  Frames(12);
  EXPECT_TRUE(Veke->Sections[0]->Objects.empty());
  EXPECT_TRUE(Empty(50, 50));
  EXPECT_TRUE(Empty(300, 200));

  Play("CREATEIMAGE(Logo, , sun.spr, 10, 10, TRUE, TRUE)\n"
       "JUMP(NEXT)\n"
       "[NEXT]\n"
       "MOVEIMAGE(Logo, 300, 200, 100)\n"
       "SETIMAGEPOS(Logo, 40, 40, TRUE)\n"
       "WAITFOR(Logo)\n");
  Frames(15);
  EXPECT_TRUE(Veke->Sections[0]->Objects.empty());
  EXPECT_EQ(Veke->CurrentSection, Veke->Sections[1].get());
  EXPECT_EQ(Section(1).CommandIndex, 2);  // a freed object is busy with nothing: kind 0 waits
  EXPECT_TRUE(Empty(300, 200));
  EXPECT_TRUE(Empty(40, 40));
}

TEST_F(ObjectLifetime, RunningEffectsEndWhenTheirObjectGoes) {
  Play("CREATEIMAGE(A, , sun.spr, 0, 100, TRUE, TRUE)\n"
       "CREATETEXT(T, \"abc\", 0, 300, 200, 20, ARIAL14)\n"
       "MOVEIMAGE(A, 400, 100, 1000)\n"
       "MOVETEXT(T, 400, 300, 1000)\n"
       "WAIT(100)\n"
       "FREESECTIONCONTROLS\n"
       "WAIT(2000)\n");
  Frames(5);
  TVKCommand& move = *Section(0).Commands[1];
  TVKCommand& moveText = *Section(0).Commands[2];
  EXPECT_TRUE(move.Active && moveText.Active);
  Frames(10);
  EXPECT_TRUE(Veke->Sections[0]->Objects.empty());
  EXPECT_FALSE(move.Active);
  EXPECT_FALSE(moveText.Active);
}

TEST_F(ObjectLifetime, ObjectsFreedInOneSectionAreGoneForCommandsOfEveryOther) {
  Play("CREATEIMAGE(img, , sun.spr, 10, 10, TRUE, FALSE)\n"
       "CREATEBUTTON(b, , btn.spr, , , 100, 100, 255, VISIBLE, ENABLED, RETURN)\n"
       "CREATETEXT(t, \"abc\", 0, 300, 200, 20, ARIAL14)\n"
       "FREE(img)\n"
       "FREE(b)\n"
       "FREE(t)\n"
       "CALL(SUB)\n"
       "[SUB]\n"
       "SHOWIMAGE(img)\n"
       "IMAGEALPHA(img, 10, 100)\n"
       "SETBUTTON(b, ENABLED, INVISIBLE, FALSE)\n"
       "BUTTONALPHA(b, 100, 100)\n"
       "SHOWTEXT(t, VISIBLE)\n"
       "WAITFOR(img)\n");
  Frames(20);
  EXPECT_EQ(Veke->CurrentSection, Veke->Sections[1].get());
  EXPECT_EQ(Section(1).CommandIndex, 5);
  EXPECT_TRUE(Empty(10, 10));
  // The engine button outlives its script object, untouched by the commands on the freed one.
  EXPECT_TRUE(Veke->Buttons->Buttons[0]->Visible);
  EXPECT_EQ(Veke->Buttons->Buttons[0]->Alpha, 255);
}

TEST_F(ObjectLifetime, FreeClearsTheTargetsOfItsOwnSection) {
  Play("CREATEIMAGE(A, , sun.spr, 10, 10, TRUE, TRUE)\n"
       "IMAGEALPHA(A, 100, 1000)\n"
       "FREE(A)\n"
       "FREE(A)\n"
       "SHOWIMAGE(A)\n");
  Frames(6);
  EXPECT_TRUE(Section(0).Commands[1]->Target.expired());
  EXPECT_FALSE(Section(0).Commands[1]->Active);
  EXPECT_TRUE(Veke->Sections[0]->Objects.empty());
}

// Scripts drawn at random from declarations, frees, section changes and object commands;
// each plays for a while and must end without a fault (the sanitizer build finds any read of
// freed memory) and without a fatal message: every section named exists.
TEST_F(ObjectLifetime, RandomScriptsOfFreesJumpsAndCommandsRunClean) {
  const char* const kNames[] = {"I1", "I2", "B1", "T1", "A1", "S1", "D1"};
  const char* const kSections[] = {"ONE", "TWO", "THREE"};
  std::mt19937 random(20261207);
  const auto pick = [&](auto& list) {
    return std::string(list[random() % std::size(list)]);
  };
  const auto declaration = [&](const std::string& name) {
    switch (name[0]) {
      case 'I': return "CREATEIMAGE(" + name + ", , sun.spr, 10, 10, TRUE, TRUE)\n";
      case 'B':
        return "CREATEBUTTON(" + name + ", , btn.spr, , , 50, 50, 255, VISIBLE, ENABLED, " +
               pick(kSections) + ")\n";
      case 'T': return "CREATETEXT(" + name + ", \"Hi there\", 5, 5, 100, 20, ARIAL14)\n";
      case 'A': return "CREATEANIM(" + name + ", clip.avi, 0, 0, 64, 48, FALSE, FALSE)\n";
      case 'S': return "CREATESOUND(" + name + ", beep.wav, FALSE, FALSE)\n";
      default:
        return "CREATE3DOBJ(" + name + ", , cube.3d, , , TEXTMAP, SPHERE, 0, 0, 1, FALSE, TRUE)\n";
    }
  };
  const auto command = [&]() -> std::string {
    const std::string object = pick(kNames);
    switch (random() % 22) {
      case 0: return "FREE(" + object + ")\n";
      case 1: return "FREESECTIONCONTROLS\n";
      case 2: return "JUMP(" + pick(kSections) + ")\n";
      case 3: return "CALL(" + pick(kSections) + ")\n";
      case 4: return "RETURN\n";
      case 5: return "SETIMAGEPOS(" + object + ", 30, 40, TRUE, 100)\n";
      case 6: return "SHOWIMAGE(" + object + ", VISIBLE)\n";
      case 7: return "MOVEIMAGE(" + object + ", 200, 100, 60)\n";
      case 8: return "IMAGEALPHA(" + object + ", 30, 60)\n";
      case 9: return "MOVEIMAGEALPHA(" + object + ", 10, 10, 200, 60)\n";
      case 10: return "SETBUTTON(" + object + ", ENABLED, VISIBLE, FALSE)\n";
      case 11: return "MOVEBUTTON(" + object + ", 100, 100, 60)\n";
      case 12: return "BUTTONALPHA(" + object + ", 100, 60)\n";
      case 13: return "SHOWTEXT(" + object + ", VISIBLE)\n";
      case 14: return "MOVETEXT(" + object + ", 50, 60, 60)\n";
      case 15: return "WAITFOR(" + object + ")\n";
      case 16: return "PLAYANIM(" + object + ")\nPLAYSOUND(" + object + ")\n";
      case 17: return "MOVEANIM(" + object + ", 5, 5, 60)\nMOVE3DOBJ(" + object + ", 5, 5, 60)\n";
      case 18: return "ROT3DOBJALFA(" + object + ", 100, 60)\nSHOWPOS(" + object + ")\n";
      case 19: return "STOPANIM(" + object + ")\nSTOPSOUND(" + object + ")\n";
      case 20: return "WAITFORPOS(" + object + ", 10)\n";
      default: return "WAIT(20)\n";
    }
  };
  const auto section = [&](const std::string& header) {
    std::string text = header;
    for (int i = 0; i < 6; ++i)
      text += random() % 3 == 0 ? declaration(pick(kNames)) : command();
    return text;
  };
  Headless->Quiet = true;
  for (int script = 0; script < 400; ++script) {
    std::string text = section("");
    for (const char* name : kSections) text += section("[" + std::string(name) + "]\n");
    SCOPED_TRACE(text);
    try {
      Play(text);
      // A click on the buttons' place, so clicks meet buttons freed or alive.
      Headless->Schedule(Headless->PlayedMs() + 300, THostEventType::MouseDown, 60, 55, true);
      Headless->Schedule(Headless->PlayedMs() + 320, THostEventType::MouseUp, 60, 55, false);
      Frames(40);
    } catch (const TFatalExit& fatal) {
      FAIL() << fatal.Message;
    }
  }
}

}  // namespace
