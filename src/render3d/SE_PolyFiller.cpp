#include "render3d/SE_PolyFiller.h"

#include <utility>

#include "render3d/SE_PolyFillerSpans.h"
#include "render3d/SE_WireFrame.h"

namespace {

// About 0.01 in 16.16: edges and texture coordinates start a hair past their corner, so that
// a position that should land on a whole column or texel, reached by slopes truncated toward
// zero, does not fall just short of it.
constexpr int64_t kEdgeBias = 655;

template <class Kind>
struct TCorner {
  int64_t X = 0, Y = 0;
  std::array<int64_t, Kind::Values> Values{};
};

template <class Kind>
TCorner<Kind> CornerOf(const TCornerRec& rec) {
  TCorner<Kind> c;
  c.X = rec.X, c.Y = rec.Y;
  c.Values[Kind::U] = rec.U, c.Values[Kind::V] = rec.V;
  if constexpr (Kind::Texel == TTexelMode::Average)
    c.Values[Kind::EnvU] = rec.EnvU, c.Values[Kind::EnvV] = rec.EnvV;
  if constexpr (Kind::Depth) c.Values[Kind::ZIndex] = rec.Z;
  return c;
}

// Increment per row of a value that changes by `difference` over dy rows. Without rows the
// undivided difference stands in, as only the x increment is ever looked at then.
template <bool Depth>
int64_t RowStep(int64_t difference, int64_t dy) {
  const int64_t scaled = difference * 65536;
  if (dy == 0) return scaled;
  if constexpr (Depth)
    return static_cast<int64_t>(
        std::nearbyint(static_cast<double>(scaled) * (1.0 / static_cast<double>(dy))));
  else
    return scaled / dy;
}

template <class Kind>
struct TEdge {
  int64_t X = 0, DX = 0;
  TSpanValues<Kind> Values{}, Steps{};

  void StartAt(const TCorner<Kind>& c) {
    X = c.X * 65536 + kEdgeBias;
    for (int i = 0; i < Kind::Values; ++i)
      Values[i] = c.Values[i] * 65536 + (i < Kind::TextureValues ? kEdgeBias : 0);
  }
  void Follow(const TCorner<Kind>& from, const TCorner<Kind>& to) {
    const int64_t dy = to.Y - from.Y;
    DX = RowStep<Kind::Depth>(to.X - from.X, dy);
    for (int i = 0; i < Kind::Values; ++i)
      Steps[i] = RowStep<Kind::Depth>(to.Values[i] - from.Values[i], dy);
  }
  // Equal to `rows` single steps; never more rows than the edge has, so no product overflows.
  void Advance(int64_t rows) {
    X += rows * DX;
    for (int i = 0; i < Kind::Values; ++i) Values[i] += rows * Steps[i];
  }
};

// One row between the edges: the left end drawn, the right end not. The clipped form cuts
// the span to the clip columns and advances the values by the columns it cut.
template <class Kind, bool Clip>
void DrawRow(const TFillTarget& target, const TFaceRec& face, int64_t y, const TEdge<Kind>& left,
             const TEdge<Kind>& right) {
  int64_t x = left.X >> 16;
  const int64_t xEnd = right.X >> 16;
  int64_t n = xEnd - x;
  if (n <= 0) return;
  TSpanValues<Kind> a = left.Values, d;
  for (int i = 0; i < Kind::Values; ++i)
    d[i] = SpanStep<Kind::Depth>(right.Values[i] - left.Values[i], n);
  if constexpr (Clip) {
    if (xEnd < target.ClipLeft || x > target.ClipRight) return;
    if (x < target.ClipLeft) {
      const int64_t cut = target.ClipLeft - x;
      n -= cut;
      if (n <= 0) return;
      for (int i = 0; i < Kind::Values; ++i) a[i] += cut * d[i];
      x = target.ClipLeft;
    }
    if (x + n - 1 > target.ClipRight) n = target.ClipRight - x + 1;
  }
  TSpanTarget span;
  span.Row = target.ScreenBuffer + y * target.Pitch + x;
  if constexpr (Kind::Depth) span.ZRow = target.ZBuffer + y * target.ZPitch + x;
  span.Texture = face.Texture, span.Texture2 = face.Texture2;
  span.HalfMask = target.HalfMask, span.LowMask = target.LowMask;
  DrawSpan<Kind>(span, n, a, d);
}

// Rows yFrom .. yTo - 1, the edges stepped after every row whether it drew or not. Returns
// false once a clipped triangle has passed the clip bottom, which ends its drawing.
template <class Kind, bool Clip>
bool DrawRows(const TFillTarget& target, const TFaceRec& face, int64_t yFrom, int64_t yTo,
              TEdge<Kind>& left, TEdge<Kind>& right) {
  int64_t y = yFrom;
  if constexpr (Clip) {
    if (y < target.ClipTop) {
      const int64_t skipped = std::min<int64_t>(target.ClipTop, yTo) - y;
      left.Advance(skipped), right.Advance(skipped);
      y += skipped;
    }
  }
  for (; y < yTo; ++y) {
    if constexpr (Clip)
      if (y > target.ClipBottom) return false;
    DrawRow<Kind, Clip>(target, face, y, left, right);
    left.Advance(1), right.Advance(1);
  }
  return true;
}

template <class Kind>
bool HasWhatItNeeds(const TFillTarget& target, const TFaceRec& face) {
  if (face.Texture == nullptr || target.ScreenBuffer == nullptr) return false;
  if constexpr (Kind::Texel == TTexelMode::Average)
    if (face.Texture2 == nullptr) return false;
  if constexpr (Kind::Depth)
    if (target.ZBuffer == nullptr) return false;
  return true;
}

// A corner on the left or right clip column counts as outside: an edge's walk can end most
// of a column beside its corner (the rounded increments of the depth-tested routines carry
// it furthest), and only the clipped rows keep that column off the frame.
template <class Kind>
bool NeedsClipping(const TFillTarget& target, const std::array<TCorner<Kind>, 3>& c) {
  for (const TCorner<Kind>& corner : c)
    if (corner.Y < target.ClipTop || corner.Y > target.ClipBottom || corner.X <= target.ClipLeft ||
        corner.X >= target.ClipRight)
      return true;
  return false;
}

template <class Kind, bool Clip>
void FillSorted(const TFillTarget& target, const TFaceRec& face,
                const std::array<TCorner<Kind>, 3>& c) {
  TEdge<Kind> a, b;  // a runs from the top corner to the middle one, b to the bottom one
  a.Follow(c[0], c[1]);
  b.Follow(c[0], c[2]);
  // A flat top has no slope to compare with the other side's (its x increment is the whole
  // width of the top): which of its corners lies left decides. Compared as a slope, a top
  // narrower than the long side leans per row swapped the sides, and the face drew nothing,
  // leaving a hole in a closed surface.
  const bool aLeft = c[0].Y == c[1].Y  ? c[1].X < c[0].X
                     : c[1].X > c[0].X ? (c[1].X <= c[2].X && a.DX <= b.DX)
                                       : (c[1].X <= c[2].X || a.DX < b.DX);
  a.StartAt(c[0]);
  b.StartAt(c[0]);
  TEdge<Kind>& left = aLeft ? a : b;
  TEdge<Kind>& right = aLeft ? b : a;
  if (c[0].Y != c[1].Y && !DrawRows<Kind, Clip>(target, face, c[0].Y, c[1].Y, left, right)) return;
  if (c[1].Y == c[2].Y) return;
  // The side that ran to the middle corner now runs on to the bottom one; it continues from
  // where its walk arrived, except after a flat top where it never walked.
  a.Follow(c[1], c[2]);
  if (c[0].Y == c[1].Y) a.StartAt(c[1]);
  DrawRows<Kind, Clip>(target, face, c[1].Y, c[2].Y, left, right);
}

template <class Kind>
void FillTriangle(const TFillTarget& target, const TFaceRec& face) {
  if (!HasWhatItNeeds<Kind>(target, face)) return;
  std::array<TCorner<Kind>, 3> c = {CornerOf<Kind>(face.Corners[0]),
                                    CornerOf<Kind>(face.Corners[1]),
                                    CornerOf<Kind>(face.Corners[2])};
  const bool clip = NeedsClipping<Kind>(target, c);
  const auto sortPair = [&c](int first, int second) {
    if (c[second].Y < c[first].Y) std::swap(c[first], c[second]);
  };
  sortPair(1, 2), sortPair(0, 1), sortPair(1, 2);
  if (c[0].Y == c[2].Y) return;
  if (clip)
    FillSorted<Kind, true>(target, face, c);
  else
    FillSorted<Kind, false>(target, face, c);
}

void FillNothing(const TFillTarget&, const TFaceRec&) {}

template <bool Depth>
TFillProc TexturedFillProc(int32_t renderCode) {
  switch (renderCode) {
    case kRenderTextured:
    case kRenderEnvironment:
      return FillTriangle<TFillKind<TTexelMode::Copy, Depth>>;
    case kRenderKeyed:
      return FillTriangle<TFillKind<TTexelMode::Keyed, Depth>>;
    case kRenderAverage:
      return FillTriangle<TFillKind<TTexelMode::Average, Depth>>;
    default:
      return FillNothing;
  }
}

}  // namespace

TFillProc FillProcFor(int32_t renderCode, bool zBuffered) {
  if (renderCode == kRenderWire) return FillWireFrame;
  return zBuffered ? TexturedFillProc<true>(renderCode) : TexturedFillProc<false>(renderCode);
}
