#include "render3d/SE_WireFrame.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// Coordinates are 64-bit so that products of corner differences cannot overflow, whatever
// corners a caller passes; after clipping a line only covers the clip rectangle.
struct TLine {
  int64_t X1, Y1, X2, Y2;
};

// Cuts a line to low..high along axis a, moving the other axis b to where the line crosses
// the bound (truncating). Orders the ends by a first. False when nothing is left.
bool ClipAxis(int64_t& a1, int64_t& b1, int64_t& a2, int64_t& b2, int64_t low, int64_t high) {
  if (a1 >= a2) std::swap(a1, a2), std::swap(b1, b2);
  if (a1 > high) return false;
  if (a1 < low) {
    if (a2 < low) return false;
    if (b1 != b2) b1 = b2 - (b2 - b1) * (a2 - low) / (a2 - a1);
    a1 = low;
  }
  if (a2 > high) {
    if (b1 != b2) b2 = b1 + (b2 - b1) * (high - a1) / (a2 - a1);
    a2 = high;
  }
  return true;
}

void Plot(const TFillTarget& target, int64_t x, int64_t y) {
  target.ScreenBuffer[y * target.Pitch + x] = target.WireColor;
}

// Integer line with both ends drawn; the major axis is x on a tie.
void DrawLine(const TFillTarget& target, TLine l) {
  if (l.X1 == l.X2) {
    for (int64_t y = std::min(l.Y1, l.Y2); y <= std::max(l.Y1, l.Y2); ++y) Plot(target, l.X1, y);
    return;
  }
  if (l.X1 > l.X2) std::swap(l.X1, l.X2), std::swap(l.Y1, l.Y2);
  const int64_t dx = l.X2 - l.X1, dy = l.Y2 - l.Y1;
  const int64_t yStep = dy < 0 ? -1 : 1;
  const bool xMajor = std::abs(dy) <= dx;
  const int64_t major = xMajor ? dx : std::abs(dy), minor = xMajor ? std::abs(dy) : dx;
  int64_t x = l.X1, y = l.Y1;
  int64_t error = 2 * minor - major;
  for (int64_t i = 0; i <= major; ++i) {
    Plot(target, x, y);
    if (xMajor)
      ++x;
    else
      y += yStep;
    if (error < 0) {
      error += 2 * minor;
    } else {
      error += 2 * (minor - major);
      if (xMajor)
        y += yStep;
      else
        ++x;
    }
  }
}

void ClipAndDrawLine(const TFillTarget& target, const TCornerRec& from, const TCornerRec& to) {
  TLine l{from.X, from.Y, to.X, to.Y};
  if (!ClipAxis(l.X1, l.Y1, l.X2, l.Y2, target.ClipLeft, target.ClipRight)) return;
  if (!ClipAxis(l.Y1, l.X1, l.Y2, l.X2, target.ClipTop, target.ClipBottom)) return;
  DrawLine(target, l);
}

}  // namespace

void FillWireFrame(const TFillTarget& target, const TFaceRec& face) {
  if (target.ScreenBuffer == nullptr) return;
  const TCornerRec* c = face.Corners;
  ClipAndDrawLine(target, c[0], c[1]);
  ClipAndDrawLine(target, c[1], c[2]);
  ClipAndDrawLine(target, c[2], c[0]);
}
