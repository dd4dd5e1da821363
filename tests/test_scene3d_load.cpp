// 3D objects as loaded: the object data and its faults, scales, vertex normals, the texture
// mappings, and textures from picture files and resource entries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ObjectSamples.h"
#include "PictureSamples.h"
#include "Scene3DSamples.h"
#include "TestSupport.h"
#include "graphics/SE_Convert.h"
#include "image/SE_Picture.h"
#include "render3d/SE_3DMapping.h"
#include "render3d/SE_3DTexture.h"
#include "resource/SE_Resource.h"

namespace {

using samples::ObjectBytes;
using samples::ParsedObject;
using ::testing::HasSubstr;

std::string MessageOf(const std::string& bytes) {
  try {
    ParsedObject(bytes, 1, "cube.vko");
  } catch (const T3DObjectError& error) {
    return error.what();
  }
  return "accepted";
}

TEST(Scene3DObjectData, DamagedDataIsRefusedWithItsName) {
  EXPECT_EQ(MessageOf("\x01"),
            "3D object cube.vko: 1 bytes, too few for its vertex and face counts");
  EXPECT_THAT(MessageOf(std::string("\xFF\xFF\x00\x00", 4)),
              HasSubstr("negative count (-1 vertices"));
  std::string triangle = ObjectBytes({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}});
  EXPECT_EQ(MessageOf(triangle + "extra bytes are ignored"), "accepted");
  EXPECT_EQ(MessageOf(triangle.substr(0, triangle.size() - 1)),
            "3D object cube.vko: 27 bytes, but 3 vertices and 1 faces need 28");
  EXPECT_EQ(MessageOf(ObjectBytes({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}, {3, 4, 1}})),
            "3D object cube.vko: face 2 names vertex 4, but the object has 3 vertices");
  EXPECT_THAT(MessageOf(ObjectBytes({{0, 0, 0}}, {{1, 0, 1}})), HasSubstr("names vertex 0"));
  EXPECT_EQ(MessageOf(ObjectBytes({}, {})), "accepted");
}

TEST(Scene3DObjectData, VerticesAreScaledWithASinglePrecisionScaleAndRoundedToEven) {
  EXPECT_EQ(ParsedObject(ObjectBytes({{3, -3, 1}}, {}), 0.5f)->Vertices[0], (TVector3{2, -2, 0}));
  // 0.9 as a float lies just below 0.9, so 5 x 0.9 stays below the tie.
  EXPECT_EQ(ParsedObject(ObjectBytes({{5, -5, 32767}}, {}), 0.9f)->Vertices[0],
            (TVector3{4, -4, 29490}));
  // Scales that leave nothing to recover: no undefined conversion, file coordinates 0.
  const T3DScale broken = ScaleOf(0, std::numeric_limits<long double>::quiet_NaN(),
                                  std::numeric_limits<long double>::infinity());
  auto object = std::make_shared<T3DObject>();
  const std::string bytes = ObjectBytes({{3, -3, -4}, {0, 1, 0}, {1, 0, 0}}, {{1, 2, 3}});
  ParseObjectData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), broken, "x",
                  *object);
  EXPECT_EQ(object->Vertices[0], (TVector3{0, 0, std::numeric_limits<int32_t>::min()}));
  EXPECT_EQ(FileVertex(object->Vertices[0], broken), (TVector3{}));
  EXPECT_TRUE(std::isinf(ScaleOf(1e300L, 1, 1).X));
  for (int32_t mapping = 0; mapping < 30; ++mapping) GenerateTexCoords(*object, mapping, broken);
}

TEST(Scene3DNormals, SquareFacesTheViewerAndUnusedVerticesGetNone) {
  auto object = ParsedObject(ObjectBytes(
      {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}, {5, 5, 5}}, {{1, 2, 3}, {3, 2, 4}}));
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(object->VertexNormals[i], (TVector3{0, 0, 100})) << i;
  EXPECT_EQ(object->VertexNormals[4], (TVector3{}));
  // Normals are taken from file coordinates, whatever the scale; y changes sign.
  auto up = ParsedObject(ObjectBytes({{0, 0, 0}, {0, 0, 10}, {10, 0, 0}}, {{1, 2, 3}}), 0.25f);
  EXPECT_EQ(up->VertexNormals[1], (TVector3{0, -100, 0}));
}

TEST(Scene3DNormals, TheSharedListDecidesRepeatedVerticesAndLongLists) {
  // Vertex 4 is named twice by one face: its count skips a slot, which still holds the
  // normal of the vertex before it, (0, 0, 100); the face itself has no area.
  auto twice = ParsedObject(ObjectBytes(
      {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {10, 10, 10}}, {{1, 2, 3}, {4, 4, 5}}));
  EXPECT_EQ(twice->VertexNormals[3], (TVector3{0, 0, 50}));
  EXPECT_EQ(twice->VertexNormals[4], (TVector3{}));
  // 99 faces one way and 2 the other: the list holds 100, the last slot taking both.
  std::vector<TVector3> faces(99, TVector3{1, 2, 3});
  faces.insert(faces.end(), 2, TVector3{1, 3, 2});
  auto crowded = ParsedObject(ObjectBytes({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, faces));
  EXPECT_EQ(crowded->VertexNormals[0], (TVector3{0, 0, 98}));
}

// Texture coordinates of each vertex for a mapping code.
std::vector<TVector3> Mapped(const std::vector<TVector3>& vertices, int32_t mapping,
                             float scale = 1) {
  auto object = ParsedObject(ObjectBytes(vertices, {}), scale);
  GenerateTexCoords(*object, mapping, {scale, scale, scale});
  return object->TexCoords;
}

TEST(Scene3DMappings, PlanarCodesSpanTheTextureOverTheLargestCoordinate) {
  const auto flat = Mapped({{-50, 0, 0}, {0, 7, 0}, {50, -7, 0}}, 4);
  EXPECT_EQ(flat[0].X, 1);
  EXPECT_EQ(flat[1].X, 128);
  EXPECT_EQ(flat[2].X, 255);
  EXPECT_EQ(flat[1].Y, 255);
  for (const TVector3& uv : Mapped({{-50, 3, 0}, {40, 9, 0}}, 12)) EXPECT_EQ(uv.X, 128);
  // (10, 20, 30) with every axis reaching 100: P = 141, 153, 166 and N = 115, 103, 90.
  const std::vector<TVector3> box = {{10, 20, 30}, {100, -100, 100}};
  EXPECT_EQ(Mapped(box, 4)[0], (TVector3{141, 153, 0}));
  EXPECT_EQ(Mapped(box, 5)[0], (TVector3{115, 153, 0}));
  EXPECT_EQ(Mapped(box, 8)[0], (TVector3{153, 141, 0}));
  EXPECT_EQ(Mapped(box, 13)[0], (TVector3{166, 115, 0}));
  EXPECT_EQ(Mapped(box, 18)[0], (TVector3{115, 166, 0}));
  EXPECT_EQ(Mapped(box, 20)[0], (TVector3{153, 166, 0}));
  EXPECT_EQ(Mapped(box, 27)[0], (TVector3{90, 103, 0}));
  // -7 at scale 0.3 is stored as -2; the largest file coordinate is Round(-2 / 0.3) = -7, but
  // the term takes -6.67 unrounded: -6.67 x 127 / 7 = -120.95.
  EXPECT_EQ(Mapped({{-7, 0, 0}}, 4, 0.3f)[0].X, 128 - 121);
}

TEST(Scene3DMappings, AnglesNormalsAndCodesThatGenerateNothing) {
  EXPECT_EQ(Mapped({{0, -10, 0}}, kMappingSphere)[0], (TVector3{0, 128, 0}));
  EXPECT_EQ(Mapped({{0, 10, 0}}, kMappingSphere)[0], (TVector3{255, 128, 0}));
  // A quarter turn around: (pi / 2) / (2 pi) x 255 = 63.75.
  EXPECT_EQ(Mapped({{10, 0, 0}}, kMappingSphere)[0], (TVector3{128, 64, 0}));
  EXPECT_EQ(Mapped({{10, -300, 0}}, kMappingCylinder)[0], (TVector3{64, 83, 0}));
  EXPECT_EQ(Mapped({{10, 300, 0}}, kMappingCylinder)[0].Y, 173);
  auto object = ParsedObject(ObjectBytes({{0, 0, 0}, {1, 1, 1}}, {}));
  object->VertexNormals = {{-100, 50, 0}, {100, -100, 7}};
  GenerateTexCoords(*object, kMappingNormalsXY, {});
  EXPECT_EQ(object->TexCoords[0], (TVector3{28, 178, 0}));
  EXPECT_EQ(object->TexCoords[1], (TVector3{228, 28, 0}));
  for (int32_t code : {0, 28, 1000}) EXPECT_EQ(Mapped({{40, 50, 60}}, code)[0], (TVector3{}));
}

std::string BmpBytes(int32_t width, int32_t height,
                     const std::function<uint32_t(int32_t, int32_t)>& bgr) {
  TBmpFile bmp(width, height);
  bmp.Pixels = PackRows(width, height, 24, false, bgr);
  const std::vector<uint8_t> file = WriteBmp(bmp);
  return {file.begin(), file.end()};
}

TEST(Scene3DTextures, PicturesArePackedIntoTheBlockInTheDisplayFormat) {
  const TBitmap24 wide = MakePattern(300, 300);
  const std::vector<uint16_t> texture = TextureFromPicture(wide, 16);
  ASSERT_EQ(texture.size(), 65536u);
  uint16_t expected[300];
  Convert24To565(300, 0, expected, wide.Row(1));
  EXPECT_EQ(texture[300], expected[0]);
  EXPECT_EQ(texture[599], expected[299]);
  Convert24To565(300, 0, expected, wide.Row(218));  // the last row that reaches into the block
  EXPECT_EQ(texture[65535], expected[65535 - 218 * 300]);
  TBitmap24 small;
  small.Width = 2, small.Height = 2;
  small.Rows.assign(12, 0xFF);
  const std::vector<uint16_t> tiny = TextureFromPicture(small, 15);
  EXPECT_EQ(tiny[3], 0x7FFF);
  EXPECT_EQ(tiny[4], 0);
  EXPECT_TRUE(TextureFromPicture(small, 32).empty());
}

TEST(Scene3DTextures, FileNamesChooseTheDecoderAndMissingFilesGiveNone) {
  TTempFolder folder;
  const std::string red = BmpBytes(4, 4, [](int32_t, int32_t) { return 0xFF0000u; });
  for (const char* name : {"a.jpg.bmp", "b.Bmp", "c.png.BMP"}) {
    const std::vector<uint16_t> texture = LoadTextureFile(folder.Write(name, red).string(), 16);
    ASSERT_EQ(texture.size(), 65536u) << name;
    EXPECT_EQ(texture[0], 0xF800) << name;
  }
  EXPECT_TRUE(LoadTextureFile(folder.Write("d.tga", red).string(), 16).empty());
  EXPECT_TRUE(LoadTextureFile((folder.Path / "missing.bmp").string(), 16).empty());
  EXPECT_TRUE(LoadTextureFile(folder.Write("e.bmp", red).string(), 24).empty());
  TBitmap24 green = MakePattern(3, 3);
  const std::vector<uint8_t> png = EncodePng(green);
  const auto pngTexture =
      LoadTextureFile(folder.Write("f.png", std::string(png.begin(), png.end())).string(), 16);
  ASSERT_FALSE(pngTexture.empty());
  EXPECT_EQ(pngTexture[8], TextureFromPicture(green, 16)[8]);
  // A damaged file gives none, with a warning (the script test shows it).
  EXPECT_TRUE(LoadTextureFile(folder.Write("g.bmp", "BMnot a picture").string(), 16).empty());
}

TEST(Scene3DLoad, ObjectsAndTexturesFromAResourceFile) {
  TTempFolder folder;
  const std::string cube = ObjectBytes({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {{1, 3, 2}});
  TResourceWriteEntry object;
  object.Name = "Cube";
  object.Kind = kResourceRaw;
  object.Payload.assign(cube.begin(), cube.end());
  object.Compress = true;
  TResourceWriteEntry picture;
  picture.Name = "picture";
  picture.Kind = kResourceBmp;
  picture.ImageWidth = 2;
  picture.ImageHeight = 1;
  const std::string bmp = BmpBytes(2, 1, [](int32_t x, int32_t) { return x ? 0xFFu : 0u; });
  picture.Payload.assign(bmp.begin(), bmp.end());
  const std::string path = (folder.Path / "scene.ger").string();
  TResourceWriteEntry green = picture;
  green.Name = "green";
  const std::string greenBmp = BmpBytes(2, 1, [](int32_t, int32_t) { return 0x00FF00u; });
  green.Payload.assign(greenBmp.begin(), greenBmp.end());
  WriteResourceFile(path,
                    {object, samples::RawEntry("raw", 2, 1, {0xF81F, 0x07E0}), picture, green});

  // On a 5-5-5 display a picture entry is converted for the display once, not once more as
  // if it held 5-6-5 pixels.
  TSE3D scene555(640, 480, 15, 0, 479, 0, 639);
  T3DLoadRequest green555;
  green555.ResFile = path;
  green555.ObjectName = "cube";
  green555.Texture1 = "green";
  green555.Convert555 = true;
  green555.RenderMode = 2;
  EXPECT_EQ(scene555.LoadObject(green555)->Texture[0], 0x03E0);

  TSE3D scene(640, 480, 16, 0, 479, 0, 639);
  T3DLoadRequest request;
  request.ResFile = path;
  request.ObjectName = "cube";
  request.Texture1 = "raw";
  request.Texture2 = "PICTURE";
  request.Convert555 = true;
  request.RenderMode = 4;
  auto loaded = scene.LoadObject(request);
  EXPECT_EQ(loaded->FaceCount, 1);
  EXPECT_EQ(loaded->RenderCode, kRenderAverage);
  ASSERT_EQ(loaded->Texture.size(), 65536u);
  EXPECT_EQ(loaded->Texture[0], 0x7C1F);  // 5-6-5 turned into 5-5-5
  EXPECT_EQ(loaded->Texture[1], 0x03E0);
  EXPECT_EQ(loaded->Texture[2], 0);
  ASSERT_EQ(loaded->Texture2.size(), 65536u);
  EXPECT_EQ(loaded->Texture2[1], 0x001F);
  request.Texture1 = "no such texture";
  request.Texture2 = "Cube";  // raw data makes a texture of its bytes
  request.Convert555 = false;
  auto second = scene.LoadObject(request);
  EXPECT_TRUE(second->Texture.empty());
  EXPECT_EQ(second->Texture2[0], 3);
  EXPECT_EQ(scene.Count(), 2);

  request.ObjectName = "sphere";
  EXPECT_THAT([&] { scene.LoadObject(request); },
              ::testing::ThrowsMessage<T3DObjectError>(HasSubstr("sphere in " + path)));
  request.ResFile = (folder.Path / "none.ger").string();
  EXPECT_THROW(scene.LoadObject(request), T3DObjectError);
  request.ResFile.clear();
  request.ObjectName = (folder.Path / "none.vko").string();
  EXPECT_THAT([&] { scene.LoadObject(request); },
              ::testing::ThrowsMessage<T3DObjectError>(HasSubstr("none.vko: file not found")));
  EXPECT_EQ(scene.Count(), 2);
  EXPECT_EQ(scene.TotalFaces, 2);
}

TEST(Scene3DLoad, RenderModesGiveTheirCodes) {
  const int32_t codes[] = {0, 1, 3, 4, 6, 7, 0};
  for (int32_t mode = -1; mode <= 6; ++mode)
    EXPECT_EQ(RenderCodeOfMode(mode), mode < 0 ? 0 : codes[mode]) << mode;
}

}  // namespace
