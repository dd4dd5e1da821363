#include "platform/PL_ScreenFit.h"

#include <algorithm>
#include <cmath>

#include "platform/PL_Text.h"

bool ParseScaling(std::string_view word, TScaling& scaling) {
  const std::string upper = UpperAscii(word);
  if (upper == "SMOOTH")
    scaling = TScaling::Smooth;
  else if (upper == "SHARP")
    scaling = TScaling::Sharp;
  else if (upper == "INTEGER")
    scaling = TScaling::Integer;
  else
    return false;
  return true;
}

TScreenFit FitFrame(int32_t frameWidth, int32_t frameHeight, const TWindowSizes& sizes,
                    TScaling scaling) {
  TScreenFit fit;
  fit.FrameWidth = frameWidth, fit.FrameHeight = frameHeight, fit.Sizes = sizes;
  const int64_t width = std::max(sizes.DrawableWidth, 0),
                height = std::max(sizes.DrawableHeight, 0);
  if (frameWidth <= 0 || frameHeight <= 0) return fit;
  const int64_t multiple = std::min(width / frameWidth, height / frameHeight);
  if (scaling == TScaling::Integer && multiple >= 1) {
    fit.Width = static_cast<int32_t>(frameWidth * multiple);
    fit.Height = static_cast<int32_t>(frameHeight * multiple);
  } else if (width * frameHeight <= height * frameWidth) {
    // The width decides; the height follows, rounded to the nearest pixel.
    fit.Width = static_cast<int32_t>(width);
    fit.Height = static_cast<int32_t>((width * frameHeight + frameWidth / 2) / frameWidth);
  } else {
    fit.Height = static_cast<int32_t>(height);
    fit.Width = static_cast<int32_t>((height * frameWidth + frameHeight / 2) / frameHeight);
  }
  fit.X = static_cast<int32_t>((width - fit.Width) / 2);
  fit.Y = static_cast<int32_t>((height - fit.Height) / 2);
  return fit;
}

namespace {
// One axis: the window point's centre in drawable pixels, then in frame pixels.
int32_t MapAxis(int32_t point, int32_t windowSize, int32_t drawableSize, int32_t offset,
                int32_t fitted, int32_t frameSize) {
  const double perPoint = windowSize > 0 ? double(drawableSize) / windowSize : 1.0;
  const double drawable = (point + 0.5) * perPoint;
  if (fitted <= 0) return -1;
  return static_cast<int32_t>(std::floor((drawable - offset) * frameSize / fitted));
}
}  // namespace

void WindowToFrame(const TScreenFit& fit, int32_t windowX, int32_t windowY, int32_t& x,
                   int32_t& y) {
  x = MapAxis(windowX, fit.Sizes.WindowWidth, fit.Sizes.DrawableWidth, fit.X, fit.Width,
              fit.FrameWidth);
  y = MapAxis(windowY, fit.Sizes.WindowHeight, fit.Sizes.DrawableHeight, fit.Y, fit.Height,
              fit.FrameHeight);
}
