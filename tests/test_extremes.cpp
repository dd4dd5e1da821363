// Rectangles of the display and of the platform surfaces with edges at the ends of the int32
// range, as scripts can give them: what lies on the screen is drawn exactly, nothing else is.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "TestSupport.h"
#include "graphics/SE_Display.h"

namespace {

constexpr int32_t kMax = INT32_MAX, kMin = INT32_MIN;
constexpr int32_t kScreenW = 16, kScreenH = 8;
constexpr uint16_t kFrameColour = 0x1111, kBackColour = 0x2222;

uint16_t PixelOf(const TSurfaceDesc& desc, int32_t x, int32_t y) {
  uint16_t v;
  std::memcpy(&v, desc.Pixels + static_cast<int64_t>(y) * desc.Pitch + x * 2, 2);
  return v;
}

void SetPixel(const TSurfaceDesc& desc, int32_t x, int32_t y, uint16_t v) {
  std::memcpy(desc.Pixels + static_cast<int64_t>(y) * desc.Pitch + x * 2, &v, 2);
}

void Paint(const TSurfaceDesc& desc, uint16_t v) {
  for (int32_t y = 0; y < desc.Height; ++y)
    for (int32_t x = 0; x < desc.Width; ++x) SetPixel(desc, x, y, v);
}

// Every pixel of `desc` is `inside` within [left, right) x [top, bottom) and `outside` elsewhere.
::testing::AssertionResult Painted(const TSurfaceDesc& desc, const TRect& area, uint16_t inside,
                                   uint16_t outside) {
  for (int32_t y = 0; y < desc.Height; ++y)
    for (int32_t x = 0; x < desc.Width; ++x) {
      const bool in = x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom;
      if (PixelOf(desc, x, y) != (in ? inside : outside))
        return ::testing::AssertionFailure() << "pixel " << x << "," << y;
    }
  return ::testing::AssertionSuccess();
}

// A display of its own, 16 x 8, in either mode.
struct TExtremeDisplay : THeadlessFixture, ::testing::Test {
  void Open(bool surfaceMode) {
    Display = std::make_unique<TGEDisplay>();
    Display->SurfaceMode = surfaceMode;
    ASSERT_TRUE(Display->AllocateBuffers(kScreenW, kScreenH, 16, PixelFormatForDepth(16, false)));
  }
  TSurfaceDesc Frame() const {
    return Display->SurfaceMode ? Display->SurfaceDesc : Display->WorkDesc;
  }

  std::unique_ptr<TGEDisplay> Display;
};

TEST_F(TExtremeDisplay, RestoreRectCopiesOnlyWhatLiesOnTheScreen) {
  struct TCase {
    int32_t X, Y, Width, Height;
    TRect Restored;  // on the screen
  };
  const TCase cases[] = {
      {10, 5, kMax, 3, {10, 5, 16, 8}},
      {-3, 1, kMax, 2, {0, 1, 16, 3}},
      {kMin, 2, kMax, 1, {}},
      {-5, kMax - 1, 10, 10, {}},
      {-10, 0, kMin, 5, {}},
      {kMin, kMin, kMax, kMax, {}},
      {kMax, kMax, kMax, kMax, {}},
      {2, kMin + 10, 3, kMax, {2, 0, 5, 8}},
  };
  for (bool surfaceMode : {false, true}) {
    Open(surfaceMode);
    Paint(Display->BackgroundDesc, kBackColour);
    for (const TCase& c : cases) {
      Paint(Frame(), kFrameColour);
      Display->RestoreRect(c.X, c.Y, c.Width, c.Height);
      EXPECT_TRUE(Painted(Frame(), c.Restored, kBackColour, kFrameColour))
          << (surfaceMode ? "surface mode " : "memory mode ") << c.X << "," << c.Y << " " << c.Width
          << "x" << c.Height;
    }
  }
}

TEST_F(TExtremeDisplay, ClipRectsMovesSourceEdgesAlongOrRejects) {
  Open(false);
  // A destination reaching across the whole range keeps its source in step.
  TRect source{kMin, 0, kMax, 1}, dest{kMin, 0, kMax, 1};
  ASSERT_TRUE(Display->ClipRects(source, dest));
  EXPECT_EQ(source.Left, 0);
  EXPECT_EQ(source.Right, kScreenW);
  EXPECT_EQ(dest.Left, 0);
  EXPECT_EQ(dest.Right, kScreenW);
  // Source edges that would move past the range leave nothing to draw.
  source = {0, 0, 20, 10}, dest = {kMin, 0, 10, 10};
  EXPECT_FALSE(Display->ClipRects(source, dest));
  source = {0, -10, 4, -5}, dest = {0, 0, 4, kMax};
  EXPECT_FALSE(Display->ClipRects(source, dest));
}

TEST_F(TExtremeDisplay, PixelBlocksAreCopiedOnlyWhereTheyMeetTheSurface) {
  Open(false);
  // A 4 x 2 block whose pixel (x, y) is 0x100 * (y + 1) + x + 1.
  std::vector<uint16_t> block;
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) block.push_back(static_cast<uint16_t>(0x100 * (y + 1) + x + 1));
  // The 8-bit form: 256 palette entries, entry i being 0x4000 + i, then one index per pixel.
  std::vector<uint8_t> indexed(512 + 8);
  for (int32_t i = 0; i < 256; ++i) {
    const uint16_t entry = static_cast<uint16_t>(0x4000 + i);
    std::memcpy(&indexed[i * 2], &entry, 2);
  }
  for (int32_t i = 0; i < 8; ++i) indexed[512 + i] = static_cast<uint8_t>(i + 1);

  const auto surface = Display->CreateOffscreenSurface(8, 4, true);
  const TSurfaceDesc desc = DescribeSurface(*surface);
  const auto copy = [&](int32_t x, int32_t y, bool palette) {
    Paint(desc, kFrameColour);
    Display->CopyPixelsToSurface(
        palette ? indexed.data() : reinterpret_cast<const uint8_t*>(block.data()), x, y, 4, 2,
        palette ? 8 : 16, *surface);
  };
  for (bool palette : {false, true})
    for (auto [x, y] : {std::pair{kMin, 0},
                        {0, kMin},
                        {kMax - 1, 0},
                        {0, kMax},
                        {100, 1},
                        {kMin, kMax},
                        {-4, 0}}) {
      copy(x, y, palette);
      EXPECT_TRUE(Painted(desc, {}, 0, kFrameColour)) << x << "," << y << " palette " << palette;
    }
  // Partly on the surface: only that part, from the right place of the block.
  copy(-2, 3, false);
  EXPECT_EQ(PixelOf(desc, 0, 3), 0x103);
  EXPECT_EQ(PixelOf(desc, 1, 3), 0x104);
  SetPixel(desc, 0, 3, kFrameColour);
  SetPixel(desc, 1, 3, kFrameColour);
  EXPECT_TRUE(Painted(desc, {}, 0, kFrameColour));
  copy(6, 0, true);
  EXPECT_EQ(PixelOf(desc, 6, 1), 0x4005);
  EXPECT_EQ(PixelOf(desc, 7, 1), 0x4006);
  EXPECT_EQ(PixelOf(desc, 5, 1), kFrameColour);
}

TEST_F(TExtremeDisplay, StretchAcrossTheWholeRangeCoversTheScreen) {
  Open(false);
  const auto source = Display->CreateOffscreenSurface(1, 1, true);
  Paint(DescribeSurface(*source), 0x0F0F);
  Paint(Display->WorkDesc, kFrameColour);
  Display->StretchSurface(*source, {0, 0, 1, 1}, {kMin, 2, kMax, 4});
  EXPECT_TRUE(Painted(Display->WorkDesc, {0, 2, kScreenW, 4}, 0x0F0F, kFrameColour));
  Display->StretchSurface(*source, {0, 0, 1, 1}, {kMin, kMin, kMax, kMax});
  EXPECT_TRUE(Painted(Display->WorkDesc, {0, 0, kScreenW, kScreenH}, 0x0F0F, 0));
}

// The platform surfaces hand SDL only what lies on them, so rectangles whose size does not
// fit an int are cut, not shortened.
TEST(ExtremeSurfaces, FillsAndBlitsAreCutToTheSurface) {
  const TPixelFormat format = PixelFormatForDepth(16, false);
  const auto target = TPlatformSurface::Create(8, 4, format);
  const auto source = TPlatformSurface::Create(4, 4, format);
  const TSurfaceDesc to = DescribeSurface(*target), from = DescribeSurface(*source);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) SetPixel(from, x, y, static_cast<uint16_t>(0x100 * y + x + 1));

  ASSERT_TRUE(target->Fill(nullptr, kFrameColour));
  const TRect band{kMin, 1, kMax, 3};
  ASSERT_TRUE(target->Fill(&band, kBackColour));
  EXPECT_TRUE(Painted(to, {0, 1, 8, 3}, kBackColour, kFrameColour));

  ASSERT_TRUE(target->Fill(nullptr, kFrameColour));
  for (auto [x, y] : {std::pair{kMax - 1, 0}, {0, kMax - 1}, {kMin, 0}, {kMax, kMin}})
    for (bool keyed : {false, true}) {
      ASSERT_TRUE(target->Blit(*source, {0, 0, 4, 4}, x, y, keyed));
      EXPECT_TRUE(Painted(to, {}, 0, kFrameColour)) << x << "," << y;
    }
  // A source rectangle across the whole range placed at its own left edge: the block's
  // column c lands at c.
  ASSERT_TRUE(target->Blit(*source, {kMin, 0, kMax, 4}, kMin, 0, false));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(PixelOf(to, x, y), x < 4 ? PixelOf(from, x, y) : kFrameColour) << x << "," << y;
  // Cut on the left and at the bottom, as SDL would cut it.
  ASSERT_TRUE(target->Fill(nullptr, kFrameColour));
  ASSERT_TRUE(target->Blit(*source, {0, 0, 4, 4}, -2, 3, false));
  EXPECT_EQ(PixelOf(to, 0, 3), PixelOf(from, 2, 0));
  EXPECT_EQ(PixelOf(to, 1, 3), PixelOf(from, 3, 0));
  EXPECT_EQ(PixelOf(to, 2, 3), kFrameColour);
  EXPECT_EQ(PixelOf(to, 0, 2), kFrameColour);
}

}  // namespace
