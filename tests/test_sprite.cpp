// Sprites: loading from files and resource entries, frames, clipping and pixel reads, and the
// same picture in both display modes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>

#include "HeapCounter.h"
#include "ObjectSamples.h"
#include "PictureSamples.h"
#include "TestSupport.h"
#include "graphics/SE_PictureCache.h"
#include "graphics/SE_Sprite.h"
#include "resource/SE_Resource.h"

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
}

// One red pixel, as a BMP file's bytes.
std::string RedBmp() {
  TBmpFile bmp(1, 1);
  bmp.Pixels = PackRows(1, 1, 24, false, [](int32_t, int32_t) { return 0xFF0000u; });
  const std::vector<uint8_t> bytes = WriteBmp(bmp);
  return {bytes.begin(), bytes.end()};
}

// Only the extension of the file's own name tells the type, in any letter case; folders and
// the rest of the name say nothing.
TEST_F(TSpriteTest, TheFilesOwnNameTellsItsType) {
  Open(false);
  const std::string spr = samples::SolidSpr(1, 1, 0x1234);
  const std::pair<std::string, std::string> files[] = {
      {"pics.sprites/sun.bmp", RedBmp()}, {"b.spr.bmp", RedBmp()}, {"c.bmp.SPR", spr}};
  for (const auto& [name, bytes] : files) {
    TGESprite& sprite = NewSprite();
    ASSERT_TRUE(sprite.LoadFromFile(Temp.Write(name, bytes).string())) << name;
    EXPECT_EQ(sprite.GetPixel(0, 0), bytes == spr ? 0x1234u : 0xF800u) << name;
  }
  EXPECT_FALSE(NewSprite().LoadFromFile(Temp.Write("d.sprite", spr).string()));
  EXPECT_FALSE(NewSprite().LoadFromFile(Temp.Write("e.spr.old", spr).string()));
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

// However small the frames, each costs its pixels and nothing more: a 1 x 1 frame must not
// bring a block and spans of its own. Frames as wide as the sheet are its own rows.
TEST_F(TSpriteTest, FramesCostTheirPixelsAndNothingMore) {
  Open(false);
  const std::string ger =
      Ger({SheetEntry("Dots", 256, 256, 1, 1), SheetEntry("Rows", 64, 512, 64, 1)});
  const size_t dots = 256 * 256 * 2, rows = 64 * 512 * 2;
  THeapWatch heap;
  TGESprite& dot = NewSprite();
  ASSERT_TRUE(dot.LoadFromResource(ger, "Dots", false));
  // The data as read becomes the picture; the frames are one more copy of it.
  EXPECT_LT(heap.Peak(), 2 * dots + 32 * 1024);
  EXPECT_EQ(dot.FramesPerRow, 256);
  dot.Animate = false;
  dot.AnimRow = 200;
  dot.AnimFrame = 7;
  dot.DrawFrame();
  EXPECT_EQ(Frame(0, 0), 7 + 100 * 200 + 1);
  EXPECT_EQ(Frame(1, 0), 0);

  THeapWatch stripHeap;
  TGESprite& strip = NewSprite();
  ASSERT_TRUE(strip.LoadFromResource(ger, "Rows", false));
  EXPECT_LT(stripHeap.Peak(), rows + 16 * 1024);
  strip.Animate = false;
  strip.AnimRow = 300;
  strip.Y = 1;
  strip.DrawFrame();
  EXPECT_EQ(Frame(0, 1), 0 + 100 * 300 + 1);
  EXPECT_EQ(Frame(63, 1), 63 + 100 * 300 + 1);
  EXPECT_EQ(Frame(0, 2), 0);
}

// An entry whose frames are larger than its picture would show nothing in memory mode and blit
// from outside the picture in surface mode: it is refused. A frame size set later is reported
// and the picture stays whole.
TEST_F(TSpriteTest, FramesLargerThanThePictureAreRefused) {
  Open(false);
  const std::string ger =
      Ger({SheetEntry("Wide", 10, 10, 11, 10), SheetEntry("Fine", 10, 10, 5, 5)});
  TGESprite& wide = NewSprite();
  EXPECT_FALSE(wide.LoadFromResource(ger, "Wide", false));
  EXPECT_FALSE(wide.Loaded);
  EXPECT_EQ(wide.ErrorText,
            "Wide resource has frames of 11x10, larger than its 10x10 picture! (LoadFromResource)");

  TGESprite& fine = NewSprite();
  ASSERT_TRUE(fine.LoadFromResource(ger, "Fine", false));
  EXPECT_EQ(fine.Width, 5);
  fine.SetAnimation(20, 5, -1, false);
  EXPECT_EQ(fine.ErrorText, "[GE Sprite] Frames of 20x5 do not fit the 10x10 picture!");
  EXPECT_EQ(fine.Width, 10);
  fine.DrawFrame();
  EXPECT_EQ(Frame(9, 9), 9 + 900 + 1);
}

// Sprites that load the same picture from the same file, for a display of the same format,
// share its pixels: the second load decodes nothing. The memory goes with the last of them.
TEST_F(TSpriteTest, SpritesOfOnePictureShareItsPixels) {
  Open(false);
  const size_t sheetsBefore = SharedSheetCount(), framesBefore = SharedFrameSheetCount();
  std::vector<uint16_t> pixels(64 * 64, 0x1234);
  const std::string spr = Spr("pic.spr", 64, 64, pixels);
  const std::string ger = Ger({SheetEntry("Sheet", 64, 64, 8, 8)});
  TGESprite& first = NewSprite();
  ASSERT_TRUE(first.LoadFromFile(spr));
  TGESprite& sheet = NewSprite();
  ASSERT_TRUE(sheet.LoadFromResource(ger, "Sheet", false));
  sheet.DrawFrame();

  THeapWatch heap;
  TGESprite& second = NewSprite();
  ASSERT_TRUE(second.LoadFromFile((Temp.Path / "PIC.SPR").string()));  // resolves to pic.spr
  TGESprite& sheetAgain = NewSprite();
  ASSERT_TRUE(sheetAgain.LoadFromResource(ger, "SHEET", false));
  sheetAgain.DrawFrame();
  EXPECT_LT(heap.Peak(), 8 * 1024u);  // a 64 x 64 picture alone takes 8 KiB
  EXPECT_EQ(second.CurrentPixels(), first.CurrentPixels());
  EXPECT_EQ(sheetAgain.CurrentPixels(), sheet.CurrentPixels());
  EXPECT_EQ(SharedSheetCount(), sheetsBefore + 2);
  EXPECT_EQ(SharedFrameSheetCount(), framesBefore + 1);

  // Another pixel layout is another picture.
  TGEDisplay other;
  ASSERT_TRUE(other.AllocateBuffers(kScreenW, kScreenH, 16, PixelFormatForDepth(16, true)));
  TGESprite layout(other, 0, 0, kScreenW, kScreenH);
  pixels[0] = 0xFFFF;
  Spr("pic.spr", 64, 64, pixels);
  // A file written again is read again, even at its old size and time stamp but one second.
  std::filesystem::last_write_time(spr,
                                   std::filesystem::last_write_time(spr) + std::chrono::seconds(1));
  ASSERT_TRUE(layout.LoadFromFile(spr));
  EXPECT_EQ(layout.GetPixel(0, 0), 0x7FFFu);
  TGESprite& rewritten = NewSprite();
  ASSERT_TRUE(rewritten.LoadFromFile(spr));
  EXPECT_EQ(rewritten.GetPixel(0, 0), 0xFFFFu);
  EXPECT_EQ(first.GetPixel(0, 0), 0x1234u);

  Sprites.clear();
  EXPECT_EQ(SharedSheetCount(), sheetsBefore + 1);  // the other display's sprite is still here
  EXPECT_EQ(SharedFrameSheetCount(), framesBefore);
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

// Positions, steps and clip edges anywhere in the int32 range: no sum may overflow (the
// sanitizer build checks), and the clip keeps to the exact sums.
TEST_F(TSpriteTest, ExtremePositionsAndStepsStayExact) {
  for (bool surface : {false, true}) {
    Display = std::make_unique<TGEDisplay>();
    Open(surface);
    const std::string ger = Ger({SheetEntry("Sheet", 30, 10, 10, 10)});
    TGESprite& sheet = NewSprite();
    ASSERT_TRUE(sheet.LoadFromResource(ger, "Sheet", false));
    sheet.Animate = false;
    const std::pair<int32_t, int32_t> places[] = {
        {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {INT32_MIN, INT32_MIN}, {INT32_MAX - 5, 0}};
    for (auto [x, y] : places) {
      sheet.X = x;
      sheet.Y = y;
      sheet.Draw();
      sheet.DrawTransparent();
      sheet.DrawRect(TRect{1, 1, 9, 9});
      sheet.DrawFrame();
    }
    sheet.AnimFrame = INT32_MAX;
    sheet.DrawFrame();
    for (int32_t y = 0; y < kScreenH; ++y)
      for (int32_t x = 0; x < kScreenW; ++x) ASSERT_EQ(Frame(x, y), 0) << x << "," << y;

    // 2^31 columns cut from the left leave nothing of a 10-column source.
    TRect source{0, 0, 10, 10}, dest{INT32_MIN, 0, 5, 10};
    EXPECT_FALSE(sheet.ClipRects(source, dest));
    source = {0, 0, 10, 10}, dest = {-3, 0, 7, 10};
    ASSERT_TRUE(sheet.ClipRects(source, dest));
    EXPECT_EQ(source.Left, 3);
    EXPECT_EQ(dest.Left, 0);

    // One step past the int32 range along a row of three: 2^31 mod 3 = 2.
    sheet.AnimFrame = 1;
    Display->CurrentTime = 100000;
    sheet.NextFrame(INT32_MAX);
    EXPECT_EQ(sheet.AnimFrame, 2);
    TGESprite edges(*Display, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN);
    EXPECT_TRUE(edges.LoadFromResource(ger, "Sheet", false));
    edges.DrawFrame();
    Sprites.clear();
  }
}

}  // namespace
