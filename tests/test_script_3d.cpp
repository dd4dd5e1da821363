// Script 3D objects through the whole player on the virtual clock: a textured cube declared,
// shown, hidden, moved, turned and zoomed, in both display modes.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "ObjectSamples.h"
#include "PictureSamples.h"
#include "Scene3DSamples.h"
#include "TestSupport.h"
#include "render3d/SE_3De.h"
#include "render3d/SE_Wavefront.h"

namespace {

constexpr uint32_t kBlue = 0x001F, kGreen = 0x07E0;

const char* const kCubeObj =
    "v -1 -1 -1\nv -1 -1 1\nv -1 1 -1\nv -1 1 1\nv 1 -1 -1\nv 1 -1 1\nv 1 1 -1\nv 1 1 1\n"
    "f 2 6 8 4\nf 5 1 3 7\nf 6 5 7 8\nf 1 2 4 3\nf 4 8 7 3\nf 1 5 6 2\n";

class Script3D : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    Headless->Quiet = true;
    Headless->PlayMs = 1'000'000;
    TWavefrontOptions options;
    options.Fit = 200;  // a front face about 160 pixels wide at the default zoom
    const std::vector<uint8_t> cube = ConvertWavefront(kCubeObj, options);
    Write("cube.vko", cube);
    TBmpFile texture(256, 256);
    texture.Pixels = PackRows(256, 256, 24, false, [](int32_t, int32_t) { return 0x00FF00u; });
    Write("green.bmp", WriteBmp(texture));
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream((Temp.Path / name).string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  TVEKE& Play(const std::string& commands, bool hardware = false, const std::string& object = "cube.vko") {
    return Load("CREATE3DOBJ(c,," + object + ",green.bmp,,TEXTMAP,SPHERE,320,240,1,FALSE,TRUE)\n"
                "CLEAR($001F001F)\n" + commands, hardware);
  }
  T3DObject& Model() { return *std::dynamic_pointer_cast<TVK3DObj>(Veke->FindObject("C"))->Model; }
  // Green pixels of row y.
  int32_t GreenWidth(int32_t y) const {
    int32_t count = 0;
    for (int32_t x = 0; x < 640; ++x) count += Pixel(x, y) == kGreen;
    return count;
  }
  std::vector<uint32_t> Frame() {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < 480; y += 3)
      for (int32_t x = 0; x < 640; x += 3) pixels.push_back(Pixel(x, y));
    return pixels;
  }
  using TScriptRun::Frame;

  TTempFolder Temp;
  samples::TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(Script3D, ATexturedCubeShowsAlikeInBothDisplayModes) {
  Play("");
  Frames(3);
  EXPECT_EQ(Pixel(320, 240), kGreen);
  EXPECT_EQ(Pixel(100, 100), kBlue);
  // Seen face on, the cube's front face is a square about the object's size.
  EXPECT_GT(GreenWidth(240), 140);
  EXPECT_LT(GreenWidth(240), 180);
  const std::vector<uint32_t> memory = Frame();
  Play("", true);
  Frames(3);
  EXPECT_EQ(Frame(), memory);
}

TEST_F(Script3D, Show3DObjHidesShowsAndPlaces) {
  Play("SHOW3DOBJ(c,,,,,,FALSE)\nWAIT(100)\nSHOW3DOBJ(c,100,120,,,,TRUE)\nWAIT(100000)\n");
  Frames(3);
  EXPECT_EQ(Pixel(320, 240), kBlue);
  EXPECT_EQ(GreenWidth(240), 0);
  Frames(10);
  EXPECT_EQ(Pixel(100, 120), kGreen);
  EXPECT_EQ(Pixel(320, 240), kBlue);  // the old place was restored
}

TEST_F(Script3D, AnglesOfAnyValueTurnLikeTheirEquivalents) {
  Play("SHOW3DOBJ(c,,,-9000,72000,45000,TRUE)\nWAIT(100000)\n");
  Frames(4);
  const std::vector<uint32_t> wrapped = Frame();
  Play("SHOW3DOBJ(c,,,27000,0,9000,TRUE)\nWAIT(100000)\n");
  Frames(4);
  EXPECT_EQ(Frame(), wrapped);
}

TEST_F(Script3D, ZoomChangesTheSizeOverTime) {
  Play("SET3DZOOM(,100)\nWAIT(100)\nZOOM3D(,400,200)\nWAIT(100000)\n");
  Frames(3);
  const int32_t small = GreenWidth(240);
  EXPECT_EQ(Veke->Scene->Zoom, 100);
  Frames(30);
  EXPECT_EQ(Veke->Scene->Zoom, 400);
  EXPECT_GT(GreenWidth(240), 3 * small);
}

TEST_F(Script3D, BetaTurnsTheOtherWayFromAlfaAndGamma) {
  Play("ROT3DOBJALFA(c,9000,1000,FALSE)\n");
  Frames(10);
  const int32_t alfa = Model().Alfa;
  EXPECT_GT(alfa, 0);
  EXPECT_LT(alfa, 9000);
  Play("ROT3DOBJGAMMA(c,9000,1000,FALSE)\n");
  Frames(10);
  EXPECT_EQ(Model().Gamma, alfa);
  Play("ROT3DOBJBETA(c,9000,1000,FALSE)\n");
  Frames(10);
  EXPECT_EQ(Model().Beta, 36000 - alfa);
}

TEST_F(Script3D, ARotationThatIsNotContinuousEndsOnItsTarget) {
  // The speed is a whole turn a second from angle 0, 720 a frame: 7200 is landed on exactly.
  Play("ROT3DOBJGAMMA(c,7200,1000,FALSE)\nWAIT(2000)\nMOVE3DOBJ(c,100,100,100)\n");
  Frames(150);
  EXPECT_EQ(Model().Gamma, 7200);
  // The rotation gave the object back, so the move after it ran.
  EXPECT_EQ(Model().ScreenX, 100);
}

TEST_F(Script3D, HidingEndsAContinuousAlfaTurnButNotAGammaTurn) {
  Play("ROT3DOBJALFA(c,0,1000)\nWAIT(200)\nSHOW3DOBJ(c,,,,,,FALSE)\nWAIT(100000)\n");
  Frames(30);
  const int32_t stopped = Model().Alfa;
  Frames(20);
  EXPECT_EQ(Model().Alfa, stopped);
  Play("ROT3DOBJGAMMA(c,0,1000)\nWAIT(200)\nSHOW3DOBJ(c,,,,,,FALSE)\nWAIT(100000)\n");
  Frames(30);
  const int32_t turning = Model().Gamma;
  Frames(20);
  EXPECT_NE(Model().Gamma, turning);
}

TEST_F(Script3D, MovesReachTheirTargetInBothDirections) {
  Play("MOVE3DOBJ(c,200,100,300)\nWAIT(400)\nMOVE3DOBJ(c,330,250,300)\nWAIT(100000)\n");
  Frames(20);
  EXPECT_EQ(Model().ScreenX, 200);
  EXPECT_EQ(Model().ScreenY, 100);
  EXPECT_EQ(Pixel(200, 100), kGreen);
  Frames(30);
  EXPECT_EQ(Model().ScreenX, 330);
  EXPECT_EQ(Model().ScreenY, 250);
  EXPECT_EQ(Pixel(200, 100), kBlue);
}

// A model turned at an angle, moved in steps or hidden, leaves no pixel of itself behind (its
// edge columns and rows among them): the frame is the one of a model placed there at once, or
// the bare background.
TEST_F(Script3D, MovedAndHiddenModelsLeaveNothingBehind) {
  const auto everyPixel = [this] {
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < 480; ++y)
      for (int32_t x = 0; x < 640; ++x) pixels.push_back(Pixel(x, y));
    return pixels;
  };
  const std::string turned = "SHOW3DOBJ(c,,,3000,4000,1000,TRUE)\n";
  for (bool hardware : {false, true}) {
    SCOPED_TRACE(hardware ? "surface mode" : "memory mode");
    for (const char* move : {"MOVE3DOBJ(c,200,150,300)\n", "MOVE3DOBJ(c,440,330,300)\n"}) {
      Play(turned + move + "WAIT(100000)\n", hardware);
      Frames(30);
      const std::vector<uint32_t> moved = everyPixel();
      Play("SHOW3DOBJ(c," + std::to_string(Model().ScreenX) + "," +
               std::to_string(Model().ScreenY) + ",3000,4000,1000,TRUE)\nWAIT(100000)\n",
           hardware);
      Frames(5);
      EXPECT_EQ(moved, everyPixel()) << move;
    }
    Play(turned + "WAIT(100)\nSHOW3DOBJ(c,,,,,,FALSE)\nWAIT(100000)\n", hardware);
    Frames(15);
    EXPECT_EQ(everyPixel(), std::vector<uint32_t>(640 * 480, kBlue));
  }
}

TEST_F(Script3D, ObjectFilesThatCannotBeHadEndTheScriptNamingThem) {
  try {
    Play("", false, "missing.vko");
    FAIL() << "a missing object file was accepted";
  } catch (const TFatalExit& fatal) {
    EXPECT_EQ(fatal.ExitCode, 1);
    EXPECT_NE(fatal.Message.find("missing.vko"), std::string::npos) << fatal.Message;  // as written
  }
  // A face naming vertex 3 of an object of 2.
  Write("broken.vko", {2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 2, 0, 3, 0});
  EXPECT_THROW(Play("", false, "broken.vko"), TFatalExit);
}

// A damaged texture costs the object its texture, with a warning, as a damaged picture of an
// image costs the image its picture; the show goes on.
TEST_F(Script3D, ADamagedTextureWarnsAndTheObjectIsDrawnWithoutIt) {
  std::vector<uint8_t> damaged = WriteBmp(TBmpFile(256, 256));
  damaged.resize(1000);  // cut short
  for (const std::vector<uint8_t>& texture : {damaged, std::vector<uint8_t>{'B', 'M', 0}}) {
    Write("green.bmp", texture);
    Play("WAIT(100000)\n");
    Frames(3);
    EXPECT_EQ(Headless->Messages,
              std::vector<std::string>{": [SE3D] Texture load error! File: green.bmp"});
    EXPECT_TRUE(Model().Texture.empty());
    EXPECT_EQ(Model().FaceCount, 12);   // the model itself is there
    EXPECT_EQ(Pixel(320, 240), kBlue);  // textured faces need their texture
    Headless->Messages.clear();
  }
}

TEST_F(Script3D, CommandsOnAFreedObjectOrWithoutAnySceneAreHarmless) {
  Play("FREE(c)\nSHOW3DOBJ(c,1,1,1,1,1,TRUE)\nROT3DOBJALFA(c,100,100)\nWAIT(100000)\n");
  Frames(20);
  Load("ZOOM3D(,300,100)\nSET3DZOOM(,50)\nZOOM3D(,300,0)\nWAIT(100000)\n");
  Frames(20);
  EXPECT_EQ(Veke->Scene, nullptr);
}

TEST_F(Script3D, ClosingTheWindowCutsAHeavyFrameShortAndEndsThePlay) {
  // Two objects of 32 766 faces about as large as the screen: seconds a frame drawn whole.
  std::vector<TVector3> faces;
  for (int i = 0; i < 16383; ++i) faces.insert(faces.end(), {{1, 3, 2}, {2, 3, 4}});
  const std::string heavy = samples::ObjectBytes(
      {{-900, -900, 0}, {900, -900, 0}, {-900, 900, 0}, {900, 900, 0}}, faces);
  Write("heavy.vko", std::vector<uint8_t>(heavy.begin(), heavy.end()));
  const std::string object = ",,heavy.vko,green.bmp,,TEXTMAP,SPHERE,320,240,1,FALSE,TRUE)\n";
  Load("CREATE3DOBJ(a" + object + "CREATE3DOBJ(b" + object + "CLEAR($001F001F)\n");
  // The close comes while the first frame is being drawn: the loop looked for events just
  // before it, so only the frame's own look can see it.
  Headless->Schedule(0, THostEventType::Close);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Veke->Engine->FrameStep());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(Headless->FramesPresented, 0);  // what was drawn of it is not shown
  Veke->Engine->RunOnce();
  EXPECT_TRUE(Veke->Engine->Terminated);
}

}  // namespace
