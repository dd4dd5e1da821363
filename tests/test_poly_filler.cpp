#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "render3d/SE_PolyFiller.h"

namespace {

constexpr uint16_t kBackground = 0xA5A5;

// A frame whose clip rectangle is surrounded by a margin the fillers must never touch.
struct TFrame {
  static constexpr int32_t kMargin = 8;
  TFrame(int32_t width, int32_t height)
      : Pitch(width + 2 * kMargin + 3),
        Rows(height + 2 * kMargin),
        Pixels(static_cast<size_t>(Pitch) * Rows, kBackground),
        Depth(Pixels.size(), 0x7FFF) {
    Target.ScreenBuffer = Pixels.data() + kMargin * Pitch + kMargin;
    Target.ZBuffer = Depth.data() + kMargin * Pitch + kMargin;
    Target.Pitch = Target.ZPitch = Pitch;
    Target.ClipTop = 0, Target.ClipBottom = height - 1;
    Target.ClipLeft = 0, Target.ClipRight = width - 1;
  }
  size_t Index(int32_t x, int32_t y) const {
    return static_cast<size_t>(y + kMargin) * Pitch + x + kMargin;
  }
  uint16_t& At(int32_t x, int32_t y) { return Pixels[Index(x, y)]; }
  int16_t& DepthAt(int32_t x, int32_t y) { return Depth[Index(x, y)]; }
  bool InClip(int32_t x, int32_t y) const {
    return x >= Target.ClipLeft && x <= Target.ClipRight && y >= Target.ClipTop &&
           y <= Target.ClipBottom;
  }
  // Whether every pixel outside the clip rectangle still shows the background.
  bool OutsideUntouched() {
    for (int32_t y = -kMargin; y < Rows - kMargin; ++y)
      for (int32_t x = -kMargin; x < Pitch - kMargin; ++x)
        if (!InClip(x, y) && At(x, y) != kBackground) return false;
    return true;
  }
  int32_t Pitch, Rows;
  std::vector<uint16_t> Pixels;
  std::vector<int16_t> Depth;
  TFillTarget Target;
};

// Each texel tells where it was read: its row in the high byte, its column in the low one.
std::vector<uint16_t> CoordinateTexture() {
  std::vector<uint16_t> t(kTexturePixels);
  for (int32_t i = 0; i < kTexturePixels; ++i) t[i] = static_cast<uint16_t>(i);
  return t;
}

TFaceRec Face(TCornerRec a, TCornerRec b, TCornerRec c, const std::vector<uint16_t>& texture) {
  TFaceRec face;
  face.Corners[0] = a, face.Corners[1] = b, face.Corners[2] = c;
  face.Texture = face.Texture2 = texture.data();
  return face;
}

TCornerRec At(int32_t x, int32_t y, int32_t u = 0, int32_t v = 0, int32_t z = 0) {
  TCornerRec c;
  c.X = x, c.Y = y, c.Z = z, c.U = u, c.V = v;
  return c;
}

void Fill(TFrame& frame, const TFaceRec& face, int32_t renderCode, bool zBuffered) {
  FillProcFor(renderCode, zBuffered)(frame.Target, face);
}

struct TRoutine {
  int32_t Code;
  bool ZBuffered;
};
constexpr TRoutine kTexturedRoutines[] = {{kRenderTextured, false}, {kRenderTextured, true},
                                          {kRenderKeyed, false},    {kRenderKeyed, true},
                                          {kRenderAverage, false},  {kRenderAverage, true}};

TEST(PolyFiller, EveryTexturedRoutineCoversTopRowAndLeftEndButNotBottomRowOrRightEnd) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x1234);
  for (const TRoutine r : kTexturedRoutines) {
    SCOPED_TRACE(testing::Message() << "code " << r.Code << " z " << r.ZBuffered);
    TFrame frame(40, 30);
    Fill(frame, Face(At(10, 10), At(20, 10), At(10, 20), texture), r.Code, r.ZBuffered);
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x) {
        const bool inside = y >= 10 && y <= 19 && x >= 10 && x <= 29 - y;
        ASSERT_EQ(frame.At(x, y), inside ? 0x1234 : kBackground) << x << "," << y;
      }
  }
}

TEST(PolyFiller, TrianglesWithoutAreaDrawNothing) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x1234);
  TFrame frame(40, 30);
  for (const TRoutine r : kTexturedRoutines) {
    Fill(frame, Face(At(5, 10), At(30, 10), At(17, 10), texture), r.Code, r.ZBuffered);
    // Left and right edge meet inside every row of a sliver this thin.
    Fill(frame, Face(At(5, 2), At(5, 25), At(5, 12), texture), r.Code, r.ZBuffered);
  }
  EXPECT_TRUE(std::all_of(frame.Pixels.begin(), frame.Pixels.end(),
                          [](uint16_t p) { return p == kBackground; }));
}

// A triangle cut by the clip rectangle shows exactly what it shows where it fits, moved
// along with it: clipped spans start with their coordinates advanced past the cut columns.
TEST(PolyFiller, ClippedTriangleMatchesTheSameTriangleDrawnWhole) {
  const std::vector<uint16_t> texture = CoordinateTexture();
  for (const TRoutine r : kTexturedRoutines) {
    SCOPED_TRACE(testing::Message() << "code " << r.Code << " z " << r.ZBuffered);
    for (const auto& [dx, dy] : {std::pair{-30, 0}, {40, 0}, {0, -25}, {0, 30}, {-15, -12}}) {
      const auto corners = [&](int32_t ox, int32_t oy) {
        return Face(At(12 + ox, 9 + oy, 20, 200, 5), At(45 + ox, 21 + oy, 90, 30, 9),
                    At(20 + ox, 40 + oy, 200, 10, 2), texture);
      };
      TFrame whole(60, 50), cut(60, 50);
      Fill(whole, corners(0, 0), r.Code, r.ZBuffered);
      Fill(cut, corners(dx, dy), r.Code, r.ZBuffered);
      int32_t drawn = 0;
      for (int32_t y = 0; y < 50; ++y)
        for (int32_t x = 0; x < 60; ++x) {
          const int32_t wx = x - dx, wy = y - dy;
          const bool inWhole = wx >= 0 && wx < 60 && wy >= 0 && wy < 50;
          ASSERT_EQ(cut.At(x, y), inWhole ? whole.At(wx, wy) : kBackground) << x << "," << y;
          drawn += cut.At(x, y) != kBackground;
        }
      EXPECT_GT(drawn, 50);
      EXPECT_TRUE(cut.OutsideUntouched());
    }
  }
}

TEST(PolyFiller, ColourKeyLeavesBackgroundWhereTexelIsZeroAndStillStoresDepth) {
  std::vector<uint16_t> texture(kTexturePixels, 0x4321);
  for (int32_t row = 0; row < kTextureSide; ++row)
    for (int32_t column = 0; column < kTextureSide; column += 2)
      texture[row * kTextureSide + column] = 0;
  for (const bool z : {false, true}) {
    TFrame frame(40, 30);
    // v runs one column of texture per pixel, so screen columns alternate key and colour.
    Fill(frame, Face(At(0, 0, 10, 0, 50), At(30, 0, 10, 30, 50), At(0, 20, 10, 0, 50), texture),
         kRenderKeyed, z);
    for (int32_t x = 0; x < 20; ++x) {
      EXPECT_EQ(frame.At(x, 5), x % 2 ? 0x4321 : kBackground) << x;
      if (z) {
        EXPECT_EQ(frame.DepthAt(x, 5), 50) << x;
      }
    }
  }
}

TEST(PolyFiller, AverageOfTwoTexturesPerChannelRoundedDown) {
  struct TCase {
    uint16_t A, B, HalfMask, LowMask, Expected;
  };
  for (const TCase c : {TCase{0xFFFF, 0x0000, 0x7BEF, 0x0821, 0x7BEF},
                        {0x0821, 0x0821, 0x7BEF, 0x0821, 0x0821},
                        {0xF800, 0x0800, 0x7BEF, 0x0821, 0x8000},
                        {0x7FFF, 0x0000, 0x3DEF, 0x0421, 0x3DEF},
                        {0x0421, 0x0421, 0x3DEF, 0x0421, 0x0421}}) {
    const std::vector<uint16_t> first(kTexturePixels, c.A), second(kTexturePixels, c.B);
    TFrame frame(20, 20);
    frame.Target.HalfMask = c.HalfMask, frame.Target.LowMask = c.LowMask;
    TFaceRec face = Face(At(0, 0), At(10, 0), At(0, 10), first);
    face.Texture2 = second.data();
    Fill(frame, face, kRenderAverage, false);
    EXPECT_EQ(frame.At(1, 1), c.Expected) << std::hex << c.A << " " << c.B;
  }
}

// The average reads its first texture with v as the row and its second with the
// environment v as the row, where the single-texture routines take u as the row. Averaged
// with a black texture, each texel shows as itself halved.
TEST(PolyFiller, AverageReadsItsTexturesColumnFirst) {
  const std::vector<uint16_t> texture = CoordinateTexture(), black(kTexturePixels, 0);
  const int32_t corners[3][4] = {{3, 2, 10, 200}, {45, 12, 60, 20}, {9, 44, 230, 90}};
  for (const bool environment : {false, true}) {
    TFaceRec face, rowFirst;
    for (int i = 0; i < 3; ++i) {
      const auto [x, y, row, column] = corners[i];
      // The pair the texture under test does not use points elsewhere, into black.
      face.Corners[i] = environment ? At(x, y, 77, 99) : At(x, y, column, row);
      if (environment) face.Corners[i].EnvU = column, face.Corners[i].EnvV = row;
      rowFirst.Corners[i] = At(x, y, row, column);
    }
    face.Texture = environment ? black.data() : texture.data();
    face.Texture2 = environment ? texture.data() : black.data();
    rowFirst.Texture = texture.data();
    TFrame average(50, 50), textured(50, 50);
    Fill(average, face, kRenderAverage, false);
    Fill(textured, rowFirst, kRenderTextured, false);
    int32_t drawn = 0;
    for (size_t i = 0; i < textured.Pixels.size(); ++i) {
      if (textured.Pixels[i] == kBackground) continue;
      ASSERT_EQ(average.Pixels[i], (textured.Pixels[i] >> 1) & 0x7BEF) << i;
      ++drawn;
    }
    EXPECT_GT(drawn, 500);
  }
}

TEST(PolyFiller, DepthTestPassesEqualAndRejectsNearerStoredDepth) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x2222);
  for (const TRoutine r : kTexturedRoutines) {
    if (!r.ZBuffered) continue;
    for (const int16_t stored : {int16_t{100}, int16_t{99}, int16_t{101}}) {
      TFrame frame(20, 20);
      std::fill(frame.Depth.begin(), frame.Depth.end(), stored);
      Fill(frame, Face(At(0, 0, 0, 0, 100), At(15, 0, 0, 0, 100), At(0, 15, 0, 0, 100), texture),
           r.Code, true);
      const bool drawn = stored >= 100;
      EXPECT_EQ(frame.At(2, 2), drawn ? 0x2222 : kBackground) << stored;
      EXPECT_EQ(frame.DepthAt(2, 2), drawn ? 100 : stored);
    }
  }
}

TEST(PolyFiller, WireFrameClipsItsLinesAndDrawsBothEnds) {
  TFrame frame(30, 20);
  TFaceRec face;
  face.Corners[0] = At(-10, 5), face.Corners[1] = At(10, 5), face.Corners[2] = At(-10, 5);
  Fill(frame, face, kRenderWire, true);
  for (int32_t y = -TFrame::kMargin; y < 20; ++y)
    for (int32_t x = -TFrame::kMargin; x < 30; ++x)
      ASSERT_EQ(frame.At(x, y), y == 5 && x >= 0 && x <= 10 ? 0x0BE3 : kBackground) << x << y;

  // A shallow line, and a steep one cut at the bottom clip row: (20, 2)-(22, 26) ends at
  // x = 20 + (2 * 17) / 24 = 21 on row 19 and steps over after row 10.
  TFrame lines(30, 20);
  face.Corners[0] = face.Corners[2] = At(0, 0), face.Corners[1] = At(5, 2);
  Fill(lines, face, kRenderWire, false);
  face.Corners[0] = face.Corners[2] = At(20, 2), face.Corners[1] = At(22, 26);
  Fill(lines, face, kRenderWire, false);
  std::set<std::pair<int32_t, int32_t>> drawn,
      expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
  for (int32_t y = 2; y <= 19; ++y) expected.insert({y <= 10 ? 20 : 21, y});
  for (int32_t y = -TFrame::kMargin; y < 20 + TFrame::kMargin; ++y)
    for (int32_t x = -TFrame::kMargin; x < 30; ++x)
      if (lines.At(x, y) != kBackground) drawn.insert({x, y});
  EXPECT_EQ(drawn, expected);
}

TEST(PolyFiller, FillProcForServesEveryCode) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x3333);
  const TFaceRec face = Face(At(0, 0), At(8, 0), At(0, 8), texture);
  for (const bool z : {false, true}) {
    EXPECT_EQ(FillProcFor(kRenderTextured, z), FillProcFor(kRenderEnvironment, z));
    EXPECT_EQ(FillProcFor(kRenderWire, z), FillProcFor(kRenderWire, !z));
    for (const int32_t code : {int32_t{kRenderNothing}, 2, 5, 8, -1, INT32_MAX}) {
      TFrame frame(10, 10);
      Fill(frame, face, code, z);
      EXPECT_EQ(frame.At(1, 1), kBackground) << code;
    }
  }
  EXPECT_NE(FillProcFor(kRenderTextured, false), FillProcFor(kRenderTextured, true));
}

// The walk as plainly as it can be written: each row's edges and each pixel's texture
// coordinates come from their starting values by multiplication instead of by repeated
// steps, every coordinate is clamped to the texture, and clipping leaves out the pixels
// beyond the clip instead of cutting spans and advancing their start.
template <bool Depth>
void ReferenceFill(TFrame& frame, const TFaceRec& face) {
  struct TPoint {
    int64_t X, Y, U, V, Z;
  };
  std::array<TPoint, 3> c;
  for (int i = 0; i < 3; ++i) {
    const TCornerRec& r = face.Corners[i];
    c[i] = {r.X, r.Y, r.U, r.V, r.Z};
  }
  for (const auto& [a, b] : {std::pair{1, 2}, {0, 1}, {1, 2}})
    if (c[b].Y < c[a].Y) std::swap(c[a], c[b]);
  if (c[0].Y == c[2].Y) return;
  const auto divide = [](int64_t difference, int64_t by) -> int64_t {
    if (Depth) return std::nearbyint(static_cast<double>(difference) * (1.0 / by));
    return difference / by;
  };
  const auto slope = [&](const TPoint& from, const TPoint& to) {
    const int64_t dy = to.Y - from.Y;
    const auto one = [&](int64_t d) { return dy == 0 ? d * 65536 : divide(d * 65536, dy); };
    return TPoint{one(to.X - from.X), 0, one(to.U - from.U), one(to.V - from.V),
                  one(to.Z - from.Z)};
  };
  const auto start = [](const TPoint& p) {
    return TPoint{p.X * 65536 + 655, 0, p.U * 65536 + 655, p.V * 65536 + 655, p.Z * 65536};
  };
  const auto walk = [](TPoint from, TPoint step, int64_t rows) {
    return TPoint{from.X + rows * step.X, 0, from.U + rows * step.U, from.V + rows * step.V,
                  from.Z + rows * step.Z};
  };
  const TPoint a = slope(c[0], c[1]), b = slope(c[0], c[2]), lower = slope(c[1], c[2]);
  const bool aLeft = c[0].Y == c[1].Y ? c[1].X < c[0].X
                     : c[1].X > c[0].X ? c[1].X <= c[2].X && a.X <= b.X
                                       : c[1].X <= c[2].X || a.X < b.X;
  const TPoint lowerStart = c[0].Y == c[1].Y ? start(c[1]) : walk(start(c[0]), a, c[1].Y - c[0].Y);
  const TFillTarget& t = frame.Target;
  for (int64_t y = std::max<int64_t>(c[0].Y, t.ClipTop); y < c[2].Y && y <= t.ClipBottom; ++y) {
    const TPoint onB = walk(start(c[0]), b, y - c[0].Y);
    const TPoint onA =
        y < c[1].Y ? walk(start(c[0]), a, y - c[0].Y) : walk(lowerStart, lower, y - c[1].Y);
    const TPoint& l = aLeft ? onA : onB;
    const TPoint& r = aLeft ? onB : onA;
    const int64_t n = (r.X >> 16) - (l.X >> 16);
    if (n <= 0) continue;
    const int64_t du = divide(r.U - l.U, n), dv = divide(r.V - l.V, n), dz = divide(r.Z - l.Z, n);
    // Only the pixels of the span that fall on clip columns.
    const int64_t firstK = std::max<int64_t>(0, t.ClipLeft - (l.X >> 16));
    const int64_t endK = std::min<int64_t>(n, t.ClipRight + 1 - (l.X >> 16));
    for (int64_t k = firstK; k < endK; ++k) {
      const int64_t x = (l.X >> 16) + k;
      if (Depth) {
        const auto z = static_cast<int16_t>((l.Z + k * dz) >> 16);
        if (z > frame.DepthAt(x, y)) continue;
        frame.DepthAt(x, y) = z;
      }
      const auto texel = [](int64_t value) { return std::clamp<int64_t>(value >> 16, 0, 255); };
      frame.At(x, y) = face.Texture[texel(l.U + k * du) * 256 + texel(l.V + k * dv)];
    }
  }
}

// A closed surface leaves no background between its faces: small faces of a mesh, turned
// nearly edge-on and with the flat tops that rounded screen positions give them, cover every
// pixel inside exactly once.
TEST(PolyFillerWalk, FacesOfAMeshCoverEveryPixelInsideExactlyOnce) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x1234);
  std::mt19937 rng(2468);
  constexpr int32_t kCells = 7, kWidth = 160, kHeight = 40;
  for (int32_t mesh = 0; mesh < 200; ++mesh) {
    // Rows of points sheared sideways, each moved by up to a pixel: cells stay convex.
    const int32_t rowStep = 1 + static_cast<int32_t>(rng() % 3);
    const int32_t shear = static_cast<int32_t>(rng() % 17) - 8;
    std::array<std::array<TCornerRec, kCells + 1>, kCells + 1> p;
    for (int32_t i = 0; i <= kCells; ++i)
      for (int32_t j = 0; j <= kCells; ++j)
        p[i][j] = At(60 + 6 * j + shear * (i - kCells / 2) + static_cast<int32_t>(rng() % 3) - 1,
                     4 + rowStep * i);
    std::vector<int32_t> covered(kWidth * kHeight);
    for (int32_t i = 0; i < kCells; ++i)
      for (int32_t j = 0; j < kCells; ++j)
        for (const TFaceRec& face : {Face(p[i][j], p[i][j + 1], p[i + 1][j + 1], texture),
                                     Face(p[i][j], p[i + 1][j + 1], p[i + 1][j], texture)}) {
          TFrame frame(kWidth, kHeight);
          Fill(frame, face, kRenderTextured, false);
          for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x)
              covered[y * kWidth + x] += frame.At(x, y) != kBackground;
        }
    // Between the outermost points of each band of rows, a pixel clear of the border lines.
    for (int32_t i = 0; i < kCells; ++i)
      for (int32_t y = p[i][0].Y; y < p[i + 1][0].Y; ++y)
        for (int32_t x = std::max(p[i][0].X, p[i + 1][0].X) + 1;
             x < std::min(p[i][kCells].X, p[i + 1][kCells].X) - 1; ++x)
          ASSERT_EQ(covered[y * kWidth + x], 1) << "mesh " << mesh << " pixel " << x << "," << y;
  }
}

// Corners anywhere in x0..x1, y0..y1; texture coordinates mostly inside the texture.
TFaceRec RandomFace(std::mt19937& rng, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                    const std::vector<uint16_t>& texture) {
  const auto between = [&rng](int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(rng);
  };
  const int32_t low = between(0, 4) == 0 ? -300 : 0, high = low < 0 ? 600 : 255;
  TFaceRec face = Face({}, {}, {}, texture);
  for (TCornerRec& c : face.Corners) {
    c.X = between(x0, x1), c.Y = between(y0, y1), c.Z = between(-200, 200);
    c.U = between(low, high), c.V = between(low, high);
  }
  return face;
}

void CompareWithReference(bool zBuffered, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                          int32_t count = 3000) {
  const std::vector<uint16_t> texture = CoordinateTexture();
  std::mt19937 rng(97531);
  int64_t drawn = 0;
  for (int32_t i = 0; i < count; ++i) {
    TFrame ours(64, 48), reference(64, 48);
    const auto stored = static_cast<int16_t>(static_cast<int32_t>(rng() % 301) - 150);
    std::fill(ours.Depth.begin(), ours.Depth.end(), stored);
    reference.Depth = ours.Depth;
    const TFaceRec face = RandomFace(rng, x0, x1, y0, y1, texture);
    Fill(ours, face, kRenderTextured, zBuffered);
    zBuffered ? ReferenceFill<true>(reference, face) : ReferenceFill<false>(reference, face);
    ASSERT_EQ(ours.Pixels, reference.Pixels) << "triangle " << i;
    ASSERT_EQ(ours.Depth, reference.Depth) << "triangle " << i;
    drawn += std::count_if(ours.Pixels.begin(), ours.Pixels.end(),
                           [](uint16_t p) { return p != kBackground; });
  }
  EXPECT_GT(drawn, count * 30);
}

TEST(PolyFillerWalk, InsideTheClipMatchesTheReference) {
  CompareWithReference(false, 1, 62, 0, 47);
  CompareWithReference(true, 1, 62, 0, 47);
}

TEST(PolyFillerWalk, AcrossTheClipMatchesTheReference) {
  CompareWithReference(false, -60, 120, -40, 90);
  CompareWithReference(true, -60, 120, -40, 90);
  // Corners at the ends of the range the scene hands over.
  CompareWithReference(false, -32767, 32767, -32767, 32767, 500);
  CompareWithReference(true, -32767, 32767, -32767, 32767, 500);
}

// Small triangles meet the ties of the left/right decision, flat tops wider and narrower than
// the other edge's slope, and corners on every side of the clip edges.
TEST(PolyFillerWalk, EverySmallTriangleMatchesTheReference) {
  const std::vector<uint16_t> texture = CoordinateTexture();
  std::vector<TCornerRec> points;
  for (int32_t y = -1; y <= 2; ++y)
    for (int32_t x = -1; x <= 3; ++x)
      points.push_back(At(x, y, 40 + 50 * x, 200 - 60 * y, 10 * x - 5 * y));
  for (const bool z : {false, true})
    for (const TCornerRec& a : points)
      for (const TCornerRec& b : points)
        for (const TCornerRec& c : points) {
          TFrame ours(3, 2), reference(3, 2);
          const TFaceRec face = Face(a, b, c, texture);
          Fill(ours, face, kRenderTextured, z);
          z ? ReferenceFill<true>(reference, face) : ReferenceFill<false>(reference, face);
          ASSERT_EQ(ours.Pixels, reference.Pixels)
              << a.X << "," << a.Y << " " << b.X << "," << b.Y << " " << c.X << "," << c.Y;
        }
}

// Rounded increments can carry a long, nearly upright edge half a column past its corner:
// here the left edge ends a row above (0, 10000) at x = -0.06, so a corner on the left clip
// column must send the triangle down the clipped path.
TEST(PolyFillerWalk, CornerOnTheLeftClipColumnIsClipped) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x7777);
  TFrame frame(5, 10002);
  Fill(frame, Face(At(1, 0), At(0, 10000), At(3, 10001), texture), kRenderTextured, true);
  EXPECT_EQ(frame.At(0, 9999), 0x7777);
  EXPECT_TRUE(frame.OutsideUntouched());
}

// Corners as far out as 32 bits go make the 16.16 edges overflow 32-bit arithmetic; they
// must still be clipped like any other.
TEST(PolyFillerWalk, ExtremeCornersStayInsideTheClip) {
  const std::vector<uint16_t> texture = CoordinateTexture();
  for (const TRoutine r : kTexturedRoutines) {
    for (const int32_t far : {INT32_MAX, 40000}) {
      TFrame frame(40, 30);
      TFaceRec face =
          Face(At(-far, -far, INT32_MIN, INT32_MAX, INT32_MIN), At(far, 3, INT32_MAX, 0, INT32_MAX),
               At(5, far, 0, INT32_MIN, 0), texture);
      face.Corners[1].EnvU = INT32_MIN, face.Corners[2].EnvV = INT32_MAX;
      Fill(frame, face, r.Code, r.ZBuffered);
      Fill(frame, face, kRenderWire, false);
      EXPECT_TRUE(frame.OutsideUntouched()) << r.Code << " " << far;
    }
  }
}

TEST(PolyFillerWalk, FaceWithoutItsTexturesDrawsNothing) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x5555);
  for (const TRoutine r : kTexturedRoutines)
    for (const int missing : {1, 2}) {
      if (missing == 2 && r.Code != kRenderAverage) continue;
      TFrame frame(20, 20);
      TFaceRec face = Face(At(0, 0), At(15, 0), At(0, 15), texture);
      (missing == 1 ? face.Texture : face.Texture2) = nullptr;
      Fill(frame, face, r.Code, r.ZBuffered);
      EXPECT_EQ(frame.At(2, 2), kBackground) << r.Code << " " << missing;
    }
}

TEST(PolyFillerWalk, FramesTallerThan768RowsDrawAtTheirRow) {
  const std::vector<uint16_t> texture(kTexturePixels, 0x6666);
  TFrame frame(16, 1200);
  Fill(frame, Face(At(2, 1100), At(10, 1100), At(2, 1108), texture), kRenderTextured, false);
  EXPECT_EQ(frame.At(2, 1100), 0x6666);
  EXPECT_EQ(frame.At(2, 1099), kBackground);
  EXPECT_EQ(frame.At(9, 1100), 0x6666);
}

}  // namespace
