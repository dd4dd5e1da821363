#include "platform/PL_FrameChanges.h"

#include <algorithm>

namespace {
// Beyond this many pieces a new one joins the piece it grows least: copying a little more
// costs less than a long list for every glyph of a page of text.
constexpr size_t kMostRects = 32;

int64_t Area(const TRect& r) { return int64_t{r.Width()} * r.Height(); }

TRect Union(const TRect& a, const TRect& b) {
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

// Two pieces are worth joining when the bounding box wastes little: glyphs of a line, a
// picture's old and new place a few pixels apart.
bool WorthJoining(const TRect& a, const TRect& b) {
  const int64_t parts = Area(a) + Area(b);
  return Area(Union(a, b)) <= parts + parts / 4;
}
}  // namespace

void TFrameChanges::Resize(int32_t width, int32_t height) {
  Width = std::max(width, 0), Height = std::max(height, 0);
  WholeList = {TRect{0, 0, Width, Height}};
  AddAll();
}

void TFrameChanges::Add(int64_t left, int64_t top, int64_t right, int64_t bottom) {
  if (All) return;
  left = std::max<int64_t>(left, 0), top = std::max<int64_t>(top, 0);
  right = std::min<int64_t>(right, Width), bottom = std::min<int64_t>(bottom, Height);
  if (left >= right || top >= bottom) return;
  TRect piece{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
              static_cast<int32_t>(bottom)};
  // A joined piece may now be worth joining with another: look again until none is.
  for (bool joined = true; joined;) {
    joined = false;
    for (size_t i = 0; i < Rects.size(); ++i) {
      if (!WorthJoining(Rects[i], piece)) continue;
      piece = Union(Rects[i], piece);
      Rects.erase(Rects.begin() + static_cast<std::ptrdiff_t>(i));
      joined = true;
      break;
    }
  }
  if (Rects.size() < kMostRects) {
    Rects.push_back(piece);
    return;
  }
  auto growth = [&piece](const TRect& r) { return Area(Union(r, piece)) - Area(r); };
  auto least = std::min_element(Rects.begin(), Rects.end(), [&](const TRect& a, const TRect& b) {
    return growth(a) < growth(b);
  });
  *least = Union(*least, piece);
}

void TFrameChanges::AddAll() {
  All = true;
  Rects.clear();
}

void TFrameChanges::Reset() {
  All = false;
  Rects.clear();
}
