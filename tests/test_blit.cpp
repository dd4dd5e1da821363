#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/SE_Blit.h"

namespace {

// Bytes placed right before an inaccessible page, so a read or write past the end faults.
class TFencedBytes {
 public:
  explicit TFencedBytes(size_t size) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    Span = (size + page - 1) / page * page + page;
    Base = static_cast<uint8_t*>(
        mmap(nullptr, Span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    EXPECT_EQ(mprotect(Base + Span - page, page, PROT_NONE), 0);
    Data = Base + Span - page - size;
  }
  ~TFencedBytes() { munmap(Base, Span); }
  TFencedBytes(const TFencedBytes&) = delete;
  TFencedBytes& operator=(const TFencedBytes&) = delete;
  uint8_t* Data;

 private:
  uint8_t* Base;
  size_t Span;
};

std::mt19937 Rng(20240501);

// A sprite block with many transparent pixels, some of them in pairs, and visible ones
// that are zero in all but one byte, so a key test on part of a pixel shows.
void FillSprite(uint8_t* block, size_t pixels, int32_t bytesPerPixel) {
  for (size_t i = 0; i < pixels * bytesPerPixel; i += bytesPerPixel) {
    const uint32_t kind = Rng() % 10;
    const uint32_t oneByte = (Rng() % 255 + 1) << (8 * (Rng() % bytesPerPixel));
    const uint32_t v = kind < 3 ? 0 : kind < 5 ? oneByte : Rng();
    std::memcpy(block + i, &v, bytesPerPixel);
  }
}

// The target is a window in a larger canvas whose margin must never change.
struct TCanvas {
  static constexpr int32_t kMargin = 3;
  TCanvas(int32_t width, int32_t height, int32_t bytesPerPixel)
      : Bytes(bytesPerPixel),
        Pitch((width + 2 * kMargin) * bytesPerPixel + 5),
        Memory(static_cast<size_t>(Pitch) * (height + 2 * kMargin)) {
    for (size_t i = 0; i < Size(); ++i) Memory.Data[i] = static_cast<uint8_t>(Rng());
    Target = {width, height, Pitch, Memory.Data + kMargin * Pitch + kMargin * bytesPerPixel, {}};
  }
  size_t Size() const { return static_cast<size_t>(Pitch) * (Target.Height + 2 * kMargin); }
  std::vector<uint8_t> Snapshot() const { return {Memory.Data, Memory.Data + Size()}; }
  void Restore(const std::vector<uint8_t>& bytes) {
    std::memcpy(Memory.Data, bytes.data(), Size());
  }
  uint8_t* At(int32_t x, int32_t y) { return Target.Pixels + y * Pitch + x * Bytes; }
  int32_t Bytes, Pitch;
  TFencedBytes Memory;
  TSurfaceDesc Target;
};

// Every byte of the canvas, margin included, must come out of `draw` as out of `model`;
// `draw` is run once per spans setting (none, and the block's own).
template <typename ModelFn, typename DrawFn>
::testing::AssertionResult SameAsModel(TCanvas& canvas, ModelFn model, DrawFn draw) {
  const auto before = canvas.Snapshot();
  model();
  const auto expected = canvas.Snapshot();
  for (bool withSpans : {false, true}) {
    canvas.Restore(before);
    draw(withSpans);
    if (!std::equal(expected.begin(), expected.end(), canvas.Memory.Data))
      return ::testing::AssertionFailure() << (withSpans ? "with spans" : "without spans");
  }
  return ::testing::AssertionSuccess();
}

uint32_t Read(const uint8_t* p, int32_t bytes) {
  uint32_t v = 0;
  std::memcpy(&v, p, bytes);
  return v;
}

// Straightforward per-channel opacity formula.
uint32_t ModelBlend(uint32_t s, uint32_t d, int32_t a, bool is555) {
  const int fields[2][3][2] = {{{11, 5}, {5, 6}, {0, 5}}, {{10, 5}, {5, 5}, {0, 5}}};
  uint32_t out = 0;
  for (const auto& f : fields[is555]) {
    const int32_t mask = (1 << f[1]) - 1;
    const int32_t sc = (s >> f[0]) & mask, dc = (d >> f[0]) & mask;
    out |= static_cast<uint32_t>(dc + (((sc - dc + 64) * a) >> 8) - (a >> 2)) << f[0];
  }
  return out;
}

enum class TOp { Copy, Key, Blend, BlendKeyPixel, BlendKeyPair };

// What a blitter must leave in the canvas, pixel by pixel, inside the inclusive bounds.
// Key pairs are formed along the drawn part of a row; a last odd pixel has a 0 partner.
void Model(TOp op, bool is555, const TBlitSprite& s, TCanvas& canvas, int32_t left, int32_t top,
           int32_t right, int32_t bottom) {
  const int32_t bytes = canvas.Bytes;
  left = std::max(left, 0), top = std::max(top, 0);
  right = std::min(right, canvas.Target.Width - 1),
  bottom = std::min(bottom, canvas.Target.Height - 1);
  const int32_t firstX = std::max(left - s.X, 0), lastX = std::min(right - s.X, s.Width - 1);
  const auto source = [&](int32_t x, int32_t y) {
    return x <= lastX ? Read(s.Pixels + (y * s.Width + x) * bytes, bytes) : 0u;
  };
  for (int32_t y = 0; y < s.Height; ++y)
    for (int32_t x = firstX; x <= lastX; ++x) {
      const int32_t ty = s.Y + y;
      if (ty < top || ty > bottom) continue;
      const uint32_t v = source(x, y);
      uint8_t* d = canvas.At(s.X + x, ty);
      if ((op == TOp::Key || op == TOp::BlendKeyPixel) && v == 0) continue;
      if (op == TOp::BlendKeyPair && v == 0 && source(((x - firstX) ^ 1) + firstX, y) == 0)
        continue;
      const uint32_t out =
          op == TOp::Copy || op == TOp::Key ? v : ModelBlend(v, Read(d, 2), s.Alpha, is555);
      std::memcpy(d, &out, bytes);
    }
}

using TBlitter = void (*)(const TBlitSprite&, TSurfaceDesc&);

struct TBlitterCase {
  const char* Name;
  TBlitter Blit;
  int32_t Bytes;
  TOp Op;
  bool Is555, Clipped;
};

const TBlitterCase kBlitters[] = {
    {"BlitKey16", BlitKey16, 2, TOp::Key, false, false},
    {"BlitKey24", BlitKey24, 3, TOp::Key, false, false},
    {"BlitKey32", BlitKey32, 4, TOp::Key, false, false},
    {"BlitKeyClip16", BlitKeyClip16, 2, TOp::Key, false, true},
    {"BlitKeyClip24", BlitKeyClip24, 3, TOp::Key, false, true},
    {"BlitKeyClip32", BlitKeyClip32, 4, TOp::Key, false, true},
    {"BlitCopy16", BlitCopy16, 2, TOp::Copy, false, false},
    {"BlitCopy24", BlitCopy24, 3, TOp::Copy, false, false},
    {"BlitCopy32", BlitCopy32, 4, TOp::Copy, false, false},
    {"BlitCopyClip16", BlitCopyClip16, 2, TOp::Copy, false, true},
    {"BlitCopyClip24", BlitCopyClip24, 3, TOp::Copy, false, true},
    {"BlitCopyClip32", BlitCopyClip32, 4, TOp::Copy, false, true},
    {"Blend555", Blend555, 2, TOp::Blend, true, false},
    {"BlendKey555", BlendKey555, 2, TOp::BlendKeyPair, true, false},
    {"Blend565", Blend565, 2, TOp::Blend, false, false},
    {"BlendKey565", BlendKey565, 2, TOp::BlendKeyPair, false, false},
    {"BlendPacked555", BlendPacked555, 2, TOp::Blend, true, false},
    {"BlendPackedKey555", BlendPackedKey555, 2, TOp::BlendKeyPixel, true, false},
    {"BlendPacked565", BlendPacked565, 2, TOp::Blend, false, false},
    {"BlendPackedKey565", BlendPackedKey565, 2, TOp::BlendKeyPixel, false, false},
};

std::vector<TBlitVariant> SupportedVariants() {
  std::vector<TBlitVariant> variants;
  for (auto v : {TBlitVariant::Reference, TBlitVariant::Sse2, TBlitVariant::Avx2})
    if (BlitVariantSupported(v)) variants.push_back(v);
  return variants;
}

class Blit : public ::testing::Test {
 protected:
  void TearDown() override { ForceBlitVariant(Initial); }
  const TBlitVariant Initial = ActiveBlitVariant();

  // Visible spans may only save work; the blends with a pair key must ignore them.
  static void Check(const TBlitterCase& c, TBlitSprite sprite, TCanvas& canvas,
                    const std::string& where) {
    const TVisibleSpans spans =
        FindVisibleSpans(sprite.Pixels, sprite.Width, sprite.Height, c.Bytes);
    const auto model = [&] {
      const int32_t far = c.Clipped ? 0 : 1000;  // the unclipped ones only keep to the target
      Model(c.Op, c.Is555, sprite, canvas, sprite.ClipLeft - far, sprite.ClipTop - far,
            sprite.ClipRight + far, sprite.ClipBottom + far);
    };
    const auto draw = [&](bool withSpans) {
      sprite.Spans = withSpans ? &spans : nullptr;
      c.Blit(sprite, canvas.Target);
    };
    ASSERT_TRUE(SameAsModel(canvas, model, draw))
        << c.Name << " variant " << static_cast<int>(ActiveBlitVariant()) << " " << where;
  }
};

TEST_F(Blit, EveryVariantMatchesTheModelOverSizesAndAlphas) {
  for (auto variant : SupportedVariants()) {
    ASSERT_TRUE(ForceBlitVariant(variant));
    for (const auto& c : kBlitters)
      for (int32_t width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 33, 63, 64, 65})
        for (int32_t height : {1, 2, 5}) {
          TFencedBytes block(width * height * c.Bytes);
          FillSprite(block.Data, width * height, c.Bytes);
          // A row without holes between its ends, as bordered pictures have: keyed copies
          // take such rows whole.
          if (height == 5)
            for (int32_t x = 1; x + 1 < width; ++x) block.Data[(2 * width + x) * c.Bytes] |= 0x5A;
          // A row of long runs between holes, as outlines have: keyed copies copy the runs.
          if (height == 5)
            for (int32_t x = 0; x < width; ++x)
              std::fill_n(block.Data + (3 * width + x) * c.Bytes, c.Bytes,
                          x % 12 < 9 ? uint8_t{0x3C} : uint8_t{0});
          TCanvas canvas(width + 4, height + 3, c.Bytes);
          for (int32_t alpha : {1, 2, 3, 100, 128, 200, 254, 255}) {
            if (c.Op < TOp::Blend && alpha != 255) continue;
            const TBlitSprite sprite{block.Data, width, height, 2,         1,
                                     alpha,      0,     0,      width + 3, height + 2};
            Check(c, sprite, canvas,
                  "w " + std::to_string(width) + " h " + std::to_string(height) + " a " +
                      std::to_string(alpha));
          }
        }
  }
}

// Images partly outside the clip rectangle or the target, on every side, and clip
// rectangles reaching past the target: nothing outside may change.
TEST_F(Blit, ClippingOnEverySide) {
  const struct {
    int32_t Left, Top, Right, Bottom;  // inclusive
  } clips[] = {{0, 0, 39, 29}, {4, 3, 30, 20}, {-9, -9, 99, 99}, {10, 8, 10, 8}, {20, 20, 5, 5}};
  for (auto variant : SupportedVariants()) {
    ASSERT_TRUE(ForceBlitVariant(variant));
    for (const auto& c : kBlitters)
      for (int32_t width : {11, 24}) {
        TFencedBytes block(width * 7 * c.Bytes);
        FillSprite(block.Data, width * 7, c.Bytes);
        // The wider block is an outline: runs of nine pixels with holes of three between.
        for (int32_t i = 0; width == 24 && i < width * 7; ++i)
          std::fill_n(block.Data + i * c.Bytes, c.Bytes,
                      i % width % 12 < 9 ? uint8_t{0x3C} : uint8_t{0});
        TCanvas canvas(40, 30, c.Bytes);
        for (const auto& clip : clips)
          for (int32_t x : {-5, 2, 25, 35})
            for (int32_t y : {-3, 2, 18, 26}) {
              const TBlitSprite sprite{block.Data, width,     7,        x,          y,
                                       100,        clip.Left, clip.Top, clip.Right, clip.Bottom};
              Check(c, sprite, canvas, "at " + std::to_string(x) + "," + std::to_string(y));
            }
      }
  }
}

// A ring in a wide transparent border, as outlined sprites are: keyed copies read its
// visible pixels packed back to back, and must draw the same wherever an edge of the target
// or of the clip rectangle cuts its rows and runs. The packed pixels are charged to the memory
// budget, and a budget without room for them leaves the copies reading the block.
TEST_F(Blit, PackedRowsDrawTheSameCutAtEveryEdge) {
  constexpr int32_t kWidth = 36, kHeight = 26;
  const struct {
    int32_t Left, Top, Right, Bottom;  // inclusive
  } clips[] = {{0, 0, 39, 29}, {6, 5, 30, 21}, {-9, -9, 99, 99}, {12, 10, 12, 10}};
  for (const TBlitterCase& c : kBlitters) {
    if (c.Op != TOp::Key) continue;
    TFencedBytes block(kWidth * kHeight * c.Bytes);
    FillSprite(block.Data, kWidth * kHeight, c.Bytes);
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const int32_t dx = 2 * x - kWidth + 1, dy = 2 * y - kHeight + 1, d2 = dx * dx + dy * dy;
        // Row 12 keeps the scattered holes of FillSprite, so it goes through the keyed row.
        if (y != 12 && (d2 > 625 || d2 < 36))
          std::fill_n(block.Data + (y * kWidth + x) * c.Bytes, c.Bytes, 0);
        if (y != 12 && d2 <= 625 && d2 >= 36) block.Data[(y * kWidth + x) * c.Bytes] |= 0x81;
      }
    TVisibleSpans spans = FindVisibleSpans(block.Data, kWidth, kHeight, c.Bytes);
    const uint64_t before = MemoryInUse();
    PackVisibleRows(spans, block.Data, kWidth, c.Bytes, "ring");
    ASSERT_FALSE(spans.Packed.empty()) << c.Name;
    EXPECT_EQ(MemoryInUse() - before, spans.Packed.size()) << c.Name;
    TCanvas canvas(40, 30, c.Bytes);
    for (const auto& clip : clips)
      for (int32_t x : {-30, -7, 0, 2, 14, 33})
        for (int32_t y : {-20, -4, 0, 3, 12, 25}) {
          TBlitSprite sprite{block.Data, kWidth,    kHeight,  x,          y,
                             255,        clip.Left, clip.Top, clip.Right, clip.Bottom};
          const auto model = [&] {
            const int32_t far = c.Clipped ? 0 : 1000;
            Model(TOp::Key, false, sprite, canvas, clip.Left - far, clip.Top - far,
                  clip.Right + far, clip.Bottom + far);
          };
          const auto draw = [&](bool withSpans) {
            sprite.Spans = withSpans ? &spans : nullptr;
            c.Blit(sprite, canvas.Target);
          };
          ASSERT_TRUE(SameAsModel(canvas, model, draw))
              << c.Name << " at " << x << "," << y << " clip " << clip.Left << "," << clip.Top;
        }
  }
  const uint64_t limit = MemoryLimit();
  SetMemoryLimit(MemoryInUse() + 1);  // the packed pixel needs 2 bytes
  TFencedBytes ring(8 * 4 * 2);
  std::memset(ring.Data, 0, 8 * 4 * 2);
  ring.Data[3 * 2] = 7;
  TVisibleSpans spans = FindVisibleSpans(ring.Data, 8, 4, 2);
  PackVisibleRows(spans, ring.Data, 8, 2, "ring");
  EXPECT_TRUE(spans.Packed.empty());
  spans = FindVisibleSpans(ring.Data, 8, 4, 2);
  SetMemoryLimit(limit);
  PackVisibleRows(spans, ring.Data, 8, 2, "ring");
  EXPECT_EQ(spans.Packed, (std::vector<uint8_t>{7, 0}));
}

// Every value a channel can take, against every destination value, at every alpha.
TEST_F(Blit, PackedBlendsCoverEveryChannelPair) {
  std::vector<uint16_t> source(64 * 64), dest(64 * 64);
  for (uint32_t s = 0; s < 64; ++s)
    for (uint32_t d = 0; d < 64; ++d) {
      source[s * 64 + d] = static_cast<uint16_t>((s >> 1) << 11 | s << 5 | (s >> 1));
      dest[s * 64 + d] = static_cast<uint16_t>((d >> 1) << 11 | d << 5 | (d >> 1));
    }
  for (auto variant : SupportedVariants()) {
    ASSERT_TRUE(ForceBlitVariant(variant));
    for (int32_t alpha = 1; alpha <= 254; ++alpha) {
      std::vector<uint16_t> out = dest;
      TSurfaceDesc target{64 * 64, 1, 64 * 64 * 2, reinterpret_cast<uint8_t*>(out.data()), {}};
      BlendPacked565({reinterpret_cast<uint8_t*>(source.data()), 64 * 64, 1, 0, 0, alpha}, target);
      for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_EQ(out[i], ModelBlend(source[i], dest[i], alpha, false)) << alpha << " at " << i;
        if (alpha <= 3) {
          ASSERT_LE(std::abs(((out[i] >> 5) & 63) - ((dest[i] >> 5) & 63)), 1);
        }
      }
    }
  }
}

TEST_F(Blit, WorkedBlendValues) {
  struct TWorked {
    uint16_t Source, Dest;
    int32_t Alpha;
    uint16_t Result;
  };
  const TWorked worked[] = {
      {0xFFFF, 0x0000, 128, 0x7BEF}, {0x0000, 0xFFFF, 128, 0x7BEF}, {0xF800, 0x001F, 200, 0xC006}};
  for (auto variant : SupportedVariants()) {
    ASSERT_TRUE(ForceBlitVariant(variant));
    for (const auto& w : worked)
      for (TBlitter blend : {Blend565, BlendPacked565}) {
        std::vector<uint16_t> source(37, w.Source), dest(37, w.Dest);
        TSurfaceDesc target{37, 1, 74, reinterpret_cast<uint8_t*>(dest.data()), {}};
        blend({reinterpret_cast<uint8_t*>(source.data()), 37, 1, 0, 0, w.Alpha}, target);
        for (uint16_t v : dest)
          ASSERT_EQ(v, w.Result) << std::hex << w.Source << " over " << w.Dest;
      }
  }
}

// The key is the whole pixel: the smallest non-zero values are drawn.
TEST_F(Blit, SmallestVisiblePixelsAreDrawn) {
  const uint8_t pixel16[] = {1, 0, 0, 0};  // 0x0001, then 0x0000
  const uint8_t pixel24[] = {0, 0, 1, 0, 0, 0};
  std::vector<uint8_t> out16(4, 7), out24(6, 7);
  TSurfaceDesc target16{2, 1, 4, out16.data(), {}}, target24{2, 1, 6, out24.data(), {}};
  BlitKey16({pixel16, 2, 1, 0, 0, 255}, target16);
  BlitKey24({pixel24, 2, 1, 0, 0, 255}, target24);
  EXPECT_EQ(out16, (std::vector<uint8_t>{1, 0, 7, 7}));
  EXPECT_EQ(out24, (std::vector<uint8_t>{0, 0, 1, 7, 7, 7}));
}

// A background as wide as a margin-less target: rows back to back on both sides, cut at
// the target's bottom (which the fence right after it would catch).
TEST_F(Blit, FullWidthCopyStopsAtTheTargetEnd) {
  for (int32_t bytes : {2, 3, 4}) {
    TFencedBytes block(13 * 9 * bytes), pixels(13 * 7 * bytes);
    FillSprite(block.Data, 13 * 9, bytes);
    TSurfaceDesc target{13, 7, 13 * bytes, pixels.Data, {}};
    for (int32_t y : {0, 2, -3}) {
      std::memset(pixels.Data, 0xAB, 13 * 7 * bytes);
      (bytes == 2   ? BlitCopy16
       : bytes == 3 ? BlitCopy24
                    : BlitCopy32)({block.Data, 13, 9, 0, y, 255}, target);
      for (int32_t row = 0; row < 7; ++row) {
        const int32_t from = row - y;
        const bool drawn = from >= 0 && from < 9;
        for (int32_t i = 0; i < 13 * bytes; ++i)
          ASSERT_EQ(pixels.Data[row * 13 * bytes + i],
                    drawn ? block.Data[from * 13 * bytes + i] : 0xAB)
              << bytes << " at " << y << " row " << row;
      }
    }
  }
}

// DrawRect: any part of the block, clipped to the inclusive clip rectangle; the part that
// lies outside the block is never read.
TEST_F(Blit, DrawRectShowsTheClippedPart) {
  const TRect rects[] = {{0, 0, 10, 8}, {2, 1, 9, 6}, {-3, -2, 4, 3}, {7, 5, 14, 12}, {5, 5, 5, 9}};
  // Also a block in a transparent border (three columns left, two right), whose visible pixels
  // the copies read packed.
  for (int32_t depth : {16, 24, 32})
    for (bool bordered : {false, true}) {
      const int32_t bytes = depth == 16 ? 2 : depth / 8;
      TFencedBytes block(10 * 8 * bytes);
      FillSprite(block.Data, 10 * 8, bytes);
      for (int32_t i = 0; bordered && i < 10 * 8; ++i)
        if (i % 10 < 3 || i % 10 >= 8) std::fill_n(block.Data + i * bytes, bytes, 0);
      TVisibleSpans spans = FindVisibleSpans(block.Data, 10, 8, bytes);
      PackVisibleRows(spans, block.Data, 10, bytes, "block");
      ASSERT_TRUE(!bordered || !spans.Packed.empty());
      TCanvas canvas(30, 20, bytes);
      for (const auto& r : rects)
        for (int32_t x : {-4, 3, 6, 25})
          for (int32_t y : {-2, 4, 15}) {
            TBlitSprite sprite{block.Data, 10, 8, x, y, 255, 5, 3, 27, 17};
            const auto model = [&] {
              for (int32_t sy = std::max(r.Top, 0); sy < std::min(r.Bottom, 8); ++sy)
                for (int32_t sx = std::max(r.Left, 0); sx < std::min(r.Right, 10); ++sx) {
                  const int32_t tx = x + sx - r.Left, ty = y + sy - r.Top;
                  const uint8_t* p = block.Data + (sy * 10 + sx) * bytes;
                  if (tx >= 5 && tx <= 27 && ty >= 3 && ty <= 17 && Read(p, bytes) != 0)
                    std::memcpy(canvas.At(tx, ty), p, bytes);
                }
            };
            const auto draw = [&](bool withSpans) {
              sprite.Spans = withSpans ? &spans : nullptr;
              DrawRectMemory(sprite, r, canvas.Target, {depth, false, true});
            };
            ASSERT_TRUE(SameAsModel(canvas, model, draw))
                << depth << " rect " << r.Left << "," << r.Top << " at " << x << "," << y;
          }
    }
}

// Which blitter memory-mode drawing picks, told by comparing with that blitter's result.
TEST_F(Blit, ChoiceOfBlitter) {
  struct TChoice {
    const char* What;
    bool Keyed;
    TBlitDisplay Display;
    int32_t X, Y, Alpha;
    TBlitter Expected;  // nullptr: nothing drawn
  };
  const TBlitDisplay d16{16, false, true}, d555{16, true, true}, d15{15, false, true},
      noMmx{16, false, false}, d24{24, false, true}, d32{32, false, true};
  // Sprite 8 x 6, clip rectangle columns 10..29, rows 10..29 of a 40 x 40 target.
  const TChoice choices[] = {
      {"keyed opaque inside", true, d16, 12, 12, 255, BlitKey16},
      {"keyed blend inside", true, d16, 12, 12, 100, BlendPackedKey565},
      {"keyed blend 5-5-5", true, d555, 12, 12, 100, BlendPackedKey555},
      {"keyed blend depth 15", true, d15, 12, 12, 100, BlendPackedKey555},
      {"keyed blend without packed", true, noMmx, 12, 12, 100, BlendKey565},
      {"keyed alpha 0", true, d16, 12, 12, 0, nullptr},
      {"keyed partly clipped drops alpha", true, d16, 5, 12, 100, BlitKeyClip16},
      {"keyed right end on the clip edge", true, d16, 21, 12, 100, BlitKeyClip16},
      {"keyed right end before the edge", true, d16, 20, 12, 100, BlendPackedKey565},
      {"keyed bottom end on the clip edge", true, d16, 12, 23, 100, BlitKeyClip16},
      {"keyed depth 24 blend", true, d24, 12, 12, 128, nullptr},
      {"keyed depth 32 blend", true, d32, 12, 12, 128, nullptr},
      {"keyed depth 24 opaque", true, d24, 12, 12, 255, BlitKey24},
      {"keyed depth 32 clipped", true, d32, 26, 27, 100, BlitKeyClip32},
      {"keyed past the target", true, d16, 36, 12, 100, BlitKeyClip16},
      {"opaque inside", false, d16, 12, 12, 255, BlitCopy16},
      {"opaque last column on the edge", false, d16, 22, 12, 100, BlendPacked565},
      {"opaque last row on the edge", false, d16, 12, 24, 100, nullptr},
      {"opaque last row on the edge, alpha 255", false, d16, 12, 24, 255, BlitCopyClip16},
      {"opaque partly clipped blend", false, d16, 5, 12, 100, nullptr},
      {"opaque without packed", false, noMmx, 12, 12, 100, Blend565},
      {"opaque 5-5-5", false, d555, 12, 12, 100, BlendPacked555},
      {"opaque depth 24 blend", false, d24, 12, 12, 128, nullptr},
      {"opaque depth 32 clipped", false, d32, 5, 5, 255, BlitCopyClip32},
  };
  TFencedBytes block(8 * 6 * 4);
  for (const auto& c : choices) {
    const int32_t bytes = c.Display.Depth <= 16 ? 2 : c.Display.Depth / 8;
    FillSprite(block.Data, 8 * 6 * 4 / bytes, bytes);
    const TVisibleSpans spans = FindVisibleSpans(block.Data, 8, 6, bytes);
    TCanvas canvas(40, 40, bytes);
    const int32_t clipRight = c.X == 36 ? 60 : 29;  // the last case's clip reaches past the target
    TBlitSprite sprite{block.Data, 8, 6, c.X, c.Y, c.Alpha, 10, 10, clipRight, 29};
    const auto expected = [&] {
      if (c.Expected) c.Expected(sprite, canvas.Target);
    };
    const auto chosen = [&](bool withSpans) {
      sprite.Spans = withSpans ? &spans : nullptr;
      (c.Keyed ? DrawTransparentMemory : DrawMemory)(sprite, canvas.Target, c.Display);
    };
    EXPECT_TRUE(SameAsModel(canvas, expected, chosen)) << c.What;
  }
}

}  // namespace
