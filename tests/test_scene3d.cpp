// The scene's front end: projection, the checks that drop faces, drawing order, bounds and
// buffers, seen through a fill routine that records faces; then real pixels of drawn objects.
#include <gtest/gtest.h>

#include <climits>

#include "PictureSamples.h"
#include "Scene3DSamples.h"
#include "TestSupport.h"
#include "render3d/SE_3DTransform.h"

namespace {

using samples::AddRecorded;
using samples::ObjectBytes;
using samples::RecordedFaces;

class Scene3D : public ::testing::Test {
 protected:
  Scene3D() { RecordedFaces().clear(); }
  void Render() { scene.RenderAll(frame.data(), 640); }

  TSE3D scene{640, 480, 16, 0, 479, 0, 639};
  std::vector<uint16_t> frame = std::vector<uint16_t>(640 * 480, 0);
};

// One vertex projected by the scene's zoom and the object's angles.
TVector3 Projected(TVector3 vertex, int32_t alfa, int32_t beta, int32_t gamma, int32_t zoom = 200) {
  T3DObject object;
  object.Vertices = {vertex};
  object.Projected.resize(1);
  object.Alfa = alfa, object.Beta = beta, object.Gamma = gamma;
  object.ScreenX = 320, object.ScreenY = 240;
  ProjectObject(object, zoom);
  return object.Projected[0];
}

TEST(Scene3DTables, SineAndCosineTimes1024AndAnglesOfAnySize) {
  EXPECT_EQ(SinTable()[0], 0);
  EXPECT_EQ(SinTable()[9000], 1024);
  EXPECT_EQ(CosTable()[9000], 0);
  EXPECT_EQ(CosTable()[18000], -1024);
  EXPECT_EQ(SinTable()[3000], 512);
  EXPECT_EQ(SinTable()[4500], 724);  // 724.08
  EXPECT_EQ(SinTable()[27000], -1024);
  EXPECT_EQ(NormalizeAngle(35999), 35999);
  EXPECT_EQ(NormalizeAngle(36000), 0);
  EXPECT_EQ(NormalizeAngle(-1), 35999);
  EXPECT_EQ(NormalizeAngle(-72000 - 9000), 27000);
  EXPECT_EQ(NormalizeAngle(INT64_MIN), NormalizeAngle(INT64_MIN % 36000 + 36000));
}

TEST(Scene3DProjection, PerspectiveAndRotation) {
  EXPECT_EQ(Projected({100, 0, 0}, 0, 0, 0), (TVector3{370, 240, 0}));
  // Turned a quarter about the vertical axis the point lies straight ahead, farther away.
  EXPECT_EQ(Projected({100, 0, 0}, 0, 9000, 0), (TVector3{320, 240, 100}));
  // A quarter turn about the view axis takes x onto -y; about the x axis, y onto depth.
  EXPECT_EQ(Projected({100, 0, 0}, 9000, 0, 0), (TVector3{320, 190, 0}));
  EXPECT_EQ(Projected({0, 100, 0}, 0, 0, 9000), (TVector3{320, 240, -100}));
  // 30 x 200 / 400 = 15; 10 x 200 / 400 = 5 each, rounded: 2.5 goes to the even 2.
  EXPECT_EQ(Projected({30, 10, 0}, 0, 0, 0), (TVector3{335, 245, 0}));
  EXPECT_EQ(Projected({5, -5, 0}, 0, 0, 0), (TVector3{322, 238, 0}));
  // The shift rounds toward minus infinity: -100 x 724 / 1024 = -70.7 gives -71.
  EXPECT_EQ(Projected({0, 0, -100}, 0, 4500, 0).Z, -71);
}

TEST(Scene3DProjection, AnglesOutsideOneTurnActAsTheirRemainder) {
  for (int32_t extra : {36000, -36000, 36000 * 1000})
    EXPECT_EQ(Projected({100, 40, 30}, 1234 + extra, 9000 + extra, -500 + extra),
              Projected({100, 40, 30}, 1234, 9000, 35500));
  // Extremes neither overflow nor index outside the tables.
  Projected({100, 0, 0}, INT32_MIN, INT32_MAX, INT32_MIN);
}

TEST_F(Scene3D, BackFacesAreDroppedUnlessInvisibleFacesAreShown) {
  const std::vector<TVector3> triangle = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}};
  // (1, 2, 3) runs clockwise on the screen, (1, 3, 2) counter-clockwise.
  auto back = AddRecorded(scene, ObjectBytes(triangle, {{1, 2, 3}}));
  auto front = AddRecorded(scene, ObjectBytes(triangle, {{1, 3, 2}}));
  Render();
  ASSERT_EQ(scene.QueuedFaces, 1);
  EXPECT_EQ(RecordedFaces()[0].Corners[1].Y, 290);
  back->ShowInvisibleFaces = true;
  Render();
  EXPECT_EQ(scene.QueuedFaces, 2);
}

TEST_F(Scene3D, FacesBeyondTheDepthRangeAreDroppedAndTheNextStillRead) {
  AddRecorded(scene, ObjectBytes({{0, 0, 32000}, {0, 0, 32001}, {10, 0, 0}, {0, 10, 0}},
                                 {{2, 4, 3}, {1, 1, 1}, {3, 4, 3}}));
  Render();
  ASSERT_EQ(scene.QueuedFaces, 2);
  EXPECT_EQ(RecordedFaces()[0].Corners[0].Z + RecordedFaces()[1].Corners[0].Z, 32000);
}

TEST_F(Scene3D, FacesWhollyOffTheScreenAreDroppedPartlyOffKept) {
  auto object = AddRecorded(scene, samples::SquareBytes(100), 0, 240);  // straddles x = 0
  Render();
  EXPECT_EQ(scene.QueuedFaces, 2);
  object->ScreenX = -51;  // right edge at -1
  Render();
  EXPECT_EQ(scene.QueuedFaces, 0);
  object->ScreenX = -50;  // right edge on column 0
  Render();
  EXPECT_EQ(scene.QueuedFaces, 2);
}

TEST_F(Scene3D, PaintersOrderFarthestFirstDepthBufferNearestFirst) {
  AddRecorded(scene, ObjectBytes({{0, 0, 3}, {50, 0, 3}, {0, 50, 4}}, {{1, 3, 2}}));
  AddRecorded(scene, ObjectBytes({{0, 0, 6}, {50, 0, 7}, {0, 50, 7}}, {{1, 3, 2}}));
  Render();
  ASSERT_EQ(RecordedFaces().size(), 2u);
  EXPECT_EQ(scene.DrawList[0].Key, 20);
  EXPECT_EQ(RecordedFaces()[0].Corners[0].Z, 6);
  EXPECT_EQ(RecordedFaces()[1].Corners[0].Z, 3);
  scene.Prepare(true);
  for (auto& object : scene.Objects) object->FillProc = samples::RecordFace;
  RecordedFaces().clear();
  Render();
  ASSERT_EQ(RecordedFaces().size(), 2u);
  EXPECT_EQ(RecordedFaces()[0].Corners[0].Z, 3);
}

TEST_F(Scene3D, EqualKeysComeOutInTheOrderOfTheSceneQuicksort) {
  // Four faces at one depth, told apart by their first corner's x.
  auto object = AddRecorded(scene,
                            ObjectBytes({{0, 0, 0}, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {0, 90, 0}},
                                        {{1, 5, 2}, {2, 5, 3}, {3, 5, 4}, {4, 5, 1}}),
                            0, 0);
  object->ShowInvisibleFaces = true;
  Render();
  std::vector<int32_t> order;
  for (const TFaceRec& face : RecordedFaces()) order.push_back(face.Corners[0].X);
  // Middle pivot and swaps from both ends turn (0 5 10 15) into (10 15 0 5).
  EXPECT_EQ(order, (std::vector<int32_t>{10, 15, 0, 5}));
}

TEST(Scene3DSort, OrdersAnyKeysLikeAFullSort) {
  std::vector<TDrawEntry> entries;
  for (int32_t i = 0; i < 500; ++i) entries.push_back({(i * 7919) % 61 - 30, nullptr});
  for (bool ascending : {false, true}) {
    SortDrawList(entries.data(), static_cast<int32_t>(entries.size()), ascending);
    for (size_t i = 1; i < entries.size(); ++i)
      EXPECT_TRUE(ascending ? entries[i - 1].Key <= entries[i].Key
                            : entries[i - 1].Key >= entries[i].Key);
  }
}

TEST_F(Scene3D, BoundsCoverQueuedCornersAndResetForVisibleObjects) {
  auto drawn = AddRecorded(scene, samples::SquareBytes(100), 0, 240);
  auto hidden = AddRecorded(scene, samples::SquareBytes(100));
  auto rejected = AddRecorded(scene, samples::SquareBytes(100), -1000, 240);
  hidden->Visible = 0;
  hidden->BoundsLeft = 7;
  Render();
  EXPECT_EQ(drawn->BoundsLeft, -50);  // not clipped to the screen
  EXPECT_EQ(drawn->BoundsTop, 190);
  EXPECT_EQ(drawn->BoundsRight, 50);
  EXPECT_EQ(drawn->BoundsBottom, 290);
  EXPECT_EQ(hidden->BoundsLeft, 7);
  EXPECT_EQ(rejected->BoundsLeft, 65535);
  EXPECT_EQ(rejected->BoundsTop, 65535);
  EXPECT_EQ(rejected->BoundsRight, -65535);
  EXPECT_EQ(rejected->BoundsBottom, -65535);
}

TEST_F(Scene3D, CornersCarryTheTextureWordsOfTheirRenderCode) {
  auto object = AddRecorded(scene, ObjectBytes({{0, 0, 0}, {50, 0, 0}, {0, 50, 0}}, {{1, 3, 2}}));
  object->TexCoords = {{10, 20, 0}, {-5, 300, 0}, {30, 40, 0}};
  object->VertexNormals = {{0, 0, 100}, {100, 0, -100}, {0, 100, 0}};
  const auto corner = [&](int32_t code, int32_t k) {
    object->RenderCode = code;
    RecordedFaces().clear();
    Render();
    return RecordedFaces().at(0).Corners[k];
  };
  // Coordinates outside the texture are held at its edges.
  EXPECT_EQ(corner(kRenderTextured, 2).U, 0);
  EXPECT_EQ(corner(kRenderKeyed, 2).V, 255);
  EXPECT_EQ(corner(kRenderWire, 0).U, 0);
  const TCornerRec both = corner(kRenderAverage, 0);
  EXPECT_EQ(both.U, 10);
  EXPECT_EQ(both.V, 20);
  // Normals land 450 x 100 / d from the centre: 150 for d = 300, held at 255, and 112.5 for
  // d = 400, rounded to the even 112.
  EXPECT_EQ(corner(kRenderAverage, 2).EnvU, 255);
  EXPECT_EQ(corner(kRenderEnvironment, 1).V, 240);
  EXPECT_EQ(corner(kRenderEnvironment, 0).U, 128);
}

TEST_F(Scene3D, FacesAtOrBehindTheEyeOrBeyondFixedPointRangeAreDropped) {
  auto object =
      AddRecorded(scene, ObjectBytes({{0, 0, -399}, {50, 0, -399}, {0, 50, -399}}, {{1, 3, 2}}));
  object->ShowInvisibleFaces = true;
  Render();
  EXPECT_EQ(scene.QueuedFaces, 1);
  object->Vertices[2].Z = -400;  // d = 0
  Render();
  EXPECT_EQ(scene.QueuedFaces, 0);
  object->Vertices[2].Z = -399;
  object->ScreenX = 32767 - 50 * 200;
  Render();
  EXPECT_EQ(scene.QueuedFaces, 1);
  object->ScreenX += 1;
  Render();
  EXPECT_EQ(scene.QueuedFaces, 0);
  object->ScreenX = INT32_MAX;  // no overflow on the way
  scene.Zoom = INT32_MAX;
  Render();
  EXPECT_EQ(scene.QueuedFaces, 0);
}

TEST_F(Scene3D, PrepareSizesTheBuffersAndRenderGrowsThemForLaterObjects) {
  TTempFolder folder;
  for (int32_t faces : {10, 20, 30}) {
    std::vector<TVector3> list(faces, TVector3{1, 2, 3});
    const auto path = folder.Write(std::to_string(faces) + ".vko",
                                   ObjectBytes({{0, 0, 0}, {9, 0, 0}, {0, 9, 0}}, list));
    T3DLoadRequest request;
    request.ObjectName = path.string();
    request.RenderMode = 1;
    scene.LoadObject(request);
  }
  EXPECT_EQ(scene.TotalFaces, 60);
  EXPECT_EQ(scene.TotalVertices, 9);
  scene.Prepare(false);
  EXPECT_EQ(scene.DrawList.size(), 60u);
  EXPECT_EQ(scene.FaceBuffer.size(), 60u);
  for (auto& object : scene.Objects) object->ShowInvisibleFaces = true;
  AddRecorded(scene, ObjectBytes({{0, 0, 0}, {9, 0, 0}, {0, 9, 0}},
                                 std::vector<TVector3>(5, TVector3{1, 3, 2})));
  Render();
  EXPECT_EQ(scene.QueuedFaces, 65);
  EXPECT_EQ(RecordedFaces().size(), 5u);
  scene.ReleaseObjects();
  EXPECT_EQ(scene.Count(), 0);
  EXPECT_TRUE(scene.DrawList.empty());
}

// A square textured by a picture whose four quadrants differ, seen head-on.
class Scene3DPixels : public Scene3D {
 protected:
  std::shared_ptr<T3DObject> LoadSquare(int32_t half, int32_t z, uint8_t shade, int32_t mode) {
    TBmpFile bmp(256, 256);
    bmp.Pixels = PackRows(256, 256, 24, false, [shade](int32_t x, int32_t y) {
      return uint32_t(shade) << 16 | uint32_t(x < 128 ? 0 : 255) << 8 | (y < 128 ? 0 : 255);
    });
    const std::vector<uint8_t> file = WriteBmp(bmp);
    const std::string name = "t" + std::to_string(shade) + ".bmp";
    T3DLoadRequest request;
    request.ObjectName = folder.Write(name + ".vko", samples::SquareBytes(half, z)).string();
    request.Texture1 = folder.Write(name, std::string(file.begin(), file.end())).string();
    request.Mapping = 4;  // x -> u (row), y -> v (column)
    request.RenderMode = mode;
    request.ScreenX = 320, request.ScreenY = 240;
    return scene.LoadObject(request);
  }
  uint16_t At(int32_t x, int32_t y) const { return frame[y * 640 + x]; }
  TTempFolder folder;
};

TEST_F(Scene3DPixels, TexturedSquareShowsItsQuadrantsAndNothingOutside) {
  LoadSquare(100, 0, 0xF8, 2);
  scene.Prepare(false);
  Render();
  // Texture rows follow screen x, columns screen y.
  EXPECT_EQ(At(320 - 30, 240 - 30), 0xF800);
  EXPECT_EQ(At(320 + 30, 240 - 30), 0xF800 | 0x001F);
  EXPECT_EQ(At(320 - 30, 240 + 30), 0xF800 | 0x07E0);
  EXPECT_EQ(At(320 + 30, 240 + 30), 0xFFFF);
  EXPECT_EQ(At(320 - 49, 240 - 49), 0xF800);
  EXPECT_EQ(At(320 - 51, 240), 0);
  EXPECT_EQ(At(320, 240 + 51), 0);
}

TEST_F(Scene3DPixels, TurnedCubeShowsItsNearFacesWithinItsBounds) {
  TBmpFile bmp(1, 1);
  bmp.Pixels = {0, 0, 255, 0};
  const std::vector<uint8_t> file = WriteBmp(bmp);
  T3DLoadRequest request;
  request.ObjectName = folder.Write("cube.vko", samples::CubeBytes(60)).string();
  request.Texture1 = folder.Write("red.bmp", std::string(file.begin(), file.end())).string();
  request.Mapping = 0;  // every corner on texel (0, 0)
  request.RenderMode = 2;
  request.ScreenX = 320, request.ScreenY = 240;
  auto cube = scene.LoadObject(request);
  cube->Beta = 4500, cube->Gamma = -3000;
  scene.Prepare(false);
  Render();
  EXPECT_LE(scene.QueuedFaces, 6);  // three sides at most
  EXPECT_EQ(At(320, 240), 0xF800);
  // An eighth of a turn about y shows two sides alike, but for the shifts' rounding down.
  EXPECT_NEAR(cube->BoundsLeft + cube->BoundsRight, 640, 1);
  int32_t drawn = 0;
  for (int32_t y = 0; y < 480; ++y)
    for (int32_t x = 0; x < 640; ++x)
      if (At(x, y)) {
        ++drawn;
        EXPECT_EQ(At(x, y), 0xF800);
        ASSERT_TRUE(x >= cube->BoundsLeft && x < cube->BoundsRight && y >= cube->BoundsTop &&
                    y < cube->BoundsBottom)
            << x << "," << y;
      }
  // The outline of a cube seen from above and aside covers most of its bounds.
  EXPECT_GT(drawn, (cube->BoundsRight - cube->BoundsLeft) * (cube->BoundsBottom - cube->BoundsTop) *
                       6 / 10);
}

TEST_F(Scene3DPixels, NearerSquareCoversTheFartherInBothOrders) {
  auto far = LoadSquare(100, 100, 0x08, 2);
  auto nearer = LoadSquare(30, 0, 0xF8, 3);
  for (bool zBuffer : {false, true}) {
    scene.Prepare(zBuffer);
    std::fill(frame.begin(), frame.end(), 0);
    Render();
    EXPECT_EQ(At(320 - 10, 240 - 10), 0xF800) << zBuffer;
    EXPECT_EQ(At(320 - 20, 240 - 20), 0x0800) << zBuffer;  // the nearer one reaches 15 out
    EXPECT_EQ(nearer->BoundsRight - nearer->BoundsLeft, 30);
  }
}

TEST(Scene3DDepths, DisplaysWithoutSixteenBitPixelsDrawNothing) {
  TSE3D scene(64, 48, 32, 0, 47, 0, 63);
  samples::RecordedFaces().clear();
  AddRecorded(scene, samples::SquareBytes(10), 32, 24);
  std::vector<uint16_t> frame(64 * 48 * 2);
  scene.RenderAll(frame.data(), 64);
  EXPECT_TRUE(samples::RecordedFaces().empty());
}

}  // namespace
