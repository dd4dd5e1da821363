// Sprites: loading from files and resource entries, frames, clipping and pixel reads, and the
// same picture in both display modes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "ObjectSamples.h"
#include "TestSupport.h"
#include "media/SE_Resource.h"
#include "media/SE_Sprite.h"

namespace {

constexpr int32_t kScreenW = 64, kScreenH = 48;

// A display of its own with memory buffers (or surfaces), drawing into the frame.
struct TSpriteTest : THeadlessFixture, ::testing::Test {
  void Open(bool surfaceMode, bool rgb555 = false) {
    Display->SurfaceMode = surfaceMode;
    ASSERT_TRUE(Display->AllocateBuffers(kScreenW, kScreenH, 16, PixelFormatForDepth(16, rgb555)));
    Display->BeginDraw(true);
    if (surfaceMode) DrawTarget = Display->SurfaceDesc;
  }
  TGESprite& NewSprite() {
    Sprites.push_back(std::make_unique<TGESprite>(*Display, 0, 0, kScreenW, kScreenH));
    return *Sprites.back();
  }
  // A pixel of the frame being composed.
  uint16_t Frame(int32_t x, int32_t y) const {
    const TSurfaceDesc& desc = Display->SurfaceMode ? Display->SurfaceDesc : Display->WorkDesc;
    uint16_t v;
    std::memcpy(&v, desc.Pixels + y * desc.Pitch + x * 2, 2);
    return v;
  }
  std::string Spr(const std::string& name, uint16_t w, uint16_t h,
                  const std::vector<uint16_t>& pixels) {
    std::string bytes{char(w & 255), char(w >> 8), char(h & 255), char(h >> 8)};
    bytes.append(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 2);
    return Temp.Write(name, bytes).string();
  }
  std::string Ger(const std::vector<TResourceWriteEntry>& entries) {
    const std::string path = (Temp.Path / "pack.ger").string();
    WriteResourceFile(path, entries);
    return path;
  }
  bool Reported(const std::string& text) const {
    for (const auto& message : Headless->Messages)
      if (message.find(text) != std::string::npos) return true;
    return false;
  }

  std::unique_ptr<TGEDisplay> Display = std::make_unique<TGEDisplay>();
  TTempFolder Temp;
  std::vector<std::unique_ptr<TGESprite>> Sprites;
};

// A raw 16-bit entry whose pixel at (x, y) is x + 100 * y + 1, so every pixel is its own.
TResourceWriteEntry SheetEntry(const std::string& name, int32_t w, int32_t h, int32_t frameW,
                               int32_t frameH, bool compress = false) {
  std::vector<uint16_t> pixels;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) pixels.push_back(static_cast<uint16_t>(x + 100 * y + 1));
  TResourceWriteEntry entry = samples::RawEntry(name, w, h, pixels);
  entry.FrameWidth = frameW;
  entry.FrameHeight = frameH;
  entry.Compress = compress;
  return entry;
}

TEST_F(TSpriteTest, SprFilesLoadInTheDisplayLayout) {
  Open(false, true);
  TGESprite& sprite = NewSprite();
  ASSERT_TRUE(sprite.LoadFromFile(Spr("a.spr", 2, 1, {0xFFFF, 0xF800})));
  EXPECT_EQ(sprite.GetPixel(0, 0), 0x7FFFu);  // 5-6-5 white in 5-5-5
  EXPECT_EQ(sprite.GetPixel(1, 0), 0x7C00u);  // red keeps its place
  EXPECT_EQ(Display->Depth, 16);
  // The first of ".SPR", ".JPG", ".BMP" anywhere in the name decides.
  EXPECT_TRUE(NewSprite().LoadFromFile(Spr("b.spr.bmp", 1, 1, {0x1234})));
}

TEST_F(TSpriteTest, BadFilesAreReportedAndLeaveTheSpriteEmpty) {
  Open(false);
  TGESprite& shortSpr = NewSprite();
  // 3 x 3 pixels promised, 2 given: nothing may be read past the file's bytes.
  EXPECT_FALSE(shortSpr.LoadFromFile(Spr("short.spr", 3, 3, {1, 2})));
  EXPECT_FALSE(shortSpr.Loaded);
  EXPECT_FALSE(shortSpr.Ready);
  EXPECT_EQ(shortSpr.ErrorText, "[GE Sprite] Load error! File: " + (Temp.Path / "short.spr").string());
  shortSpr.DrawTransparent();  // drawing an empty sprite is harmless

  EXPECT_FALSE(NewSprite().LoadFromFile((Temp.Path / "none.bmp").string()));
  EXPECT_TRUE(Reported("[GE Sprite] Load error! File: "));
  EXPECT_FALSE(NewSprite().LoadFromFile(Temp.Write("x.png", "png").string()));
  EXPECT_FALSE(NewSprite().LoadFromFile(Temp.Write("broken.jpg", "\xFF\xD8\xFF junk").string()));
}

TEST_F(TSpriteTest, EmptyPicturesAreLoadErrorsNotSurfaceFailures) {
  Open(true);
  // A surface of no pixels cannot be made; the picture is refused before that is tried.
  EXPECT_FALSE(NewSprite().LoadFromFile(Spr("empty.spr", 0, 5, {})));
  EXPECT_FALSE(NewSprite().LoadFromResource(Ger({SheetEntry("None", 0, 3, 0, 3)}), "None", false));
  EXPECT_EQ(Sprites.back()->ErrorText, "None resource holds an empty picture! (LoadFromResource)");
}

TEST_F(TSpriteTest, ResourceFramesFollowTheEntry) {
  Open(false);
  const std::string ger = Ger({SheetEntry("Whole", 4, 2, 4, 2), SheetEntry("Sheet", 100, 2, 30, 2)});
  TGESprite& whole = NewSprite();
  ASSERT_TRUE(whole.LoadFromResource(ger, "WHOLE", false));
  EXPECT_FALSE(whole.Animate);
  EXPECT_EQ(whole.FramesPerRow, 0);

  TGESprite& sheet = NewSprite();
  ASSERT_TRUE(sheet.LoadFromResource(ger, "sheet", false));
  EXPECT_TRUE(sheet.Animate);
  EXPECT_EQ(sheet.FrameDelay, 40u);
  EXPECT_EQ(sheet.FramesPerRow, 3);  // the last 10 columns are never shown
  EXPECT_EQ(sheet.Width, 30);
  EXPECT_EQ(sheet.EntryName, "Sheet");

  // NextFrame waits for the delay, then steps along the row and wraps.
  Display->CurrentTime = 1000;
  sheet.NextFrame(1);
  Display->CurrentTime = 1039;
  sheet.NextFrame(1);
  EXPECT_EQ(sheet.AnimFrame, 1);
  Display->CurrentTime = 1040;
  sheet.NextFrame(2);
  EXPECT_EQ(sheet.AnimFrame, 0);

  sheet.Animate = false;
  sheet.AnimFrame = 2;
  sheet.DrawFrame();
  EXPECT_EQ(Frame(0, 0), 61);       // column 60 of the sheet, row 0
  EXPECT_EQ(Frame(29, 1), 190);     // column 89, row 1
  EXPECT_EQ(Frame(30, 0), 0);       // nothing beyond the frame
  EXPECT_EQ(sheet.GetPixel(0, 0), 61u);
}

TEST_F(TSpriteTest, FrameSizesThatCannotCutLeaveThePictureWhole) {
  Open(false);
  TGESprite& sprite = NewSprite();
  ASSERT_TRUE(sprite.LoadFromFile(Spr("a.spr", 2, 2, {1, 2, 3, 4})));
  sprite.SplitFrames();  // no frame size yet
  EXPECT_EQ(sprite.Width, 2);
  sprite.DrawFrame();
  EXPECT_EQ(Frame(1, 1), 4);
  // Cut, then cut again with another size: always from the whole sheet.
  sprite.SetAnimation(1, 1, 0, false);
  sprite.SetAnimation(2, 1, 0, false);
  EXPECT_EQ(sprite.FramesPerRow, 1);
  sprite.AnimRow = 1;
  sprite.DrawFrame();
  EXPECT_EQ(Frame(0, 0), 3);
  EXPECT_EQ(Frame(1, 0), 4);
}

TEST_F(TSpriteTest, PixelReadsOutsideThePictureAreTransparent) {
  for (bool surface : {false, true}) {
    Display = std::make_unique<TGEDisplay>();
    Open(surface);
    TGESprite& sprite = NewSprite();
    ASSERT_TRUE(sprite.LoadFromFile(Spr("a.spr", 2, 2, {1, 2, 3, 4})));
    EXPECT_EQ(sprite.GetPixel(1, 1), 4u);
    EXPECT_EQ(sprite.GetPixel(2, 0), 0u);
    EXPECT_EQ(sprite.GetPixel(0, -1), 0u);
    EXPECT_EQ(sprite.GetPixel(100000, 100000), 0u);
    Sprites.clear();
  }
}

TEST_F(TSpriteTest, EightBitEntriesShowThroughTheirColourTable) {
  for (bool rgb555 : {false, true}) {
    Display = std::make_unique<TGEDisplay>();
    Open(false, rgb555);
    TResourceWriteEntry entry;
    entry.Name = "Pal";
    entry.Kind = kResourceRaw;
    entry.PixelBits = 8;
    entry.ImageWidth = entry.FrameWidth = 3;
    entry.ImageHeight = entry.FrameHeight = 1;
    entry.Payload.assign(512, 0);
    const uint16_t colours[3] = {0xF800, 0x07E0, 0x001F};
    for (int i = 0; i < 3; ++i) std::memcpy(&entry.Payload[2 * (10 + i)], &colours[i], 2);
    entry.Payload.insert(entry.Payload.end(), {12, 10, 11});
    TGESprite& sprite = NewSprite();
    ASSERT_TRUE(sprite.LoadFromResource(Ger({entry}), "pal", false));
    const uint32_t blue = 0x001F, red = rgb555 ? 0x7C00 : 0xF800, green = rgb555 ? 0x03E0 : 0x07E0;
    EXPECT_EQ(sprite.GetPixel(0, 0), blue);
    EXPECT_EQ(sprite.GetPixel(1, 0), red);
    EXPECT_EQ(sprite.GetPixel(2, 0), green);
    Sprites.clear();
  }
}

TEST_F(TSpriteTest, DamagedEntriesAreReportedNotRead) {
  Open(false);
  const std::string ger = Ger({SheetEntry("Good", 4, 4, 4, 4, true)});
  std::string bytes;
  {
    std::ifstream in(ger, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string cut = Temp.Write("cut.ger", bytes.substr(0, bytes.size() - 5)).string();
  TGESprite& sprite = NewSprite();
  EXPECT_FALSE(sprite.LoadFromResource(cut, "Good", false));
  EXPECT_FALSE(sprite.Loaded);
  EXPECT_FALSE(sprite.ErrorText.empty());
  EXPECT_FALSE(NewSprite().LoadFromResource(ger, "Other", false));
  EXPECT_EQ(Sprites.back()->ErrorText, "Other resource not found! (ReadByName, ReadByNumber)");
  EXPECT_FALSE(NewSprite().LoadFromResource(Spr("not.ger", 1, 1, {1}), "Good", false));
  EXPECT_EQ(Sprites.back()->ErrorText, "Not GameEngine resource file! (Open/Load)");
}

// Everything a sprite draws lands on the same pixels in both modes, clipped the same way.
TEST_F(TSpriteTest, BothModesComposeTheSameFrame) {
  std::vector<uint16_t> frames[2];
  for (bool surface : {false, true}) {
    Display = std::make_unique<TGEDisplay>();
    Open(surface);
    const std::string ger = Ger({SheetEntry("Sheet", 20, 10, 10, 10)});
    std::vector<uint16_t> keyed(12 * 12, 0x1234);
    keyed[5] = 0;  // a transparent hole
    TGESprite& opaque = NewSprite();
    ASSERT_TRUE(opaque.LoadFromFile(Spr("o.spr", 12, 12, keyed)));
    opaque.X = -4;
    opaque.Y = 40;  // half outside at the left and bottom
    opaque.Draw();
    TGESprite& holes = NewSprite();
    ASSERT_TRUE(holes.LoadFromFile(Spr("h.spr", 12, 12, keyed)));
    holes.X = 58;
    holes.Y = -3;
    holes.DrawTransparent();
    holes.X = -2;
    holes.Y = 10;
    holes.DrawRect(TRect{1, 1, 9, 9});
    TGESprite& sheet = NewSprite();
    ASSERT_TRUE(sheet.LoadFromResource(ger, "Sheet", false));
    sheet.Animate = false;
    sheet.AnimFrame = 1;
    sheet.X = 30;
    sheet.Y = 20;
    sheet.DrawFrame();
    for (int32_t y = 0; y < kScreenH; ++y)
      for (int32_t x = 0; x < kScreenW; ++x) frames[surface].push_back(Frame(x, y));
    Sprites.clear();
  }
  EXPECT_EQ(frames[0], frames[1]);
  EXPECT_EQ(frames[0][10 * kScreenW + 0], 0x1234);      // DrawRect from column 2 of the picture
  EXPECT_EQ(frames[0][0 * kScreenW + 63], 0x1234);      // last column reached in both modes
  EXPECT_EQ(frames[0][20 * kScreenW + 30], 11);         // frame 1 starts at sheet column 10
}

TEST_F(TSpriteTest, OpaqueDrawingStaysInsideTheClipRectangle) {
  Open(false);
  auto sprite = std::make_unique<TGESprite>(*Display, 10, 10, 20, 20);
  ASSERT_TRUE(sprite->LoadFromFile(Spr("a.spr", 16, 16, std::vector<uint16_t>(256, 0xFFFF))));
  sprite->X = 4;
  sprite->Y = 12;
  sprite->Draw();
  for (int32_t y = 0; y < kScreenH; ++y)
    for (int32_t x = 0; x < kScreenW; ++x) {
      const bool inside = x >= 10 && x < 20 && y >= 12 && y < 20;
      EXPECT_EQ(Frame(x, y), inside ? 0xFFFF : 0) << x << "," << y;
    }
}

}  // namespace
