#pragma once
// How a presentation's frame fills a window or a screen of another size, and which of its
// pixels lies under a point of the window. Apart from SDL, so it is checked without a screen.
#include <cstdint>
#include <string_view>

// smooth: filtered to any size; sharp: nearest pixel to any size, which keeps bitmap fonts
// crisp; integer: the largest whole multiple that fits.
enum class TScaling { Smooth, Sharp, Integer };

// "smooth", "sharp" or "integer" in any letter case; false for anything else.
bool ParseScaling(std::string_view word, TScaling& scaling);

// Sizes of the window in the desktop's coordinates (those of mouse events) and of its
// drawable in pixels; on HiDPI desktops the two differ.
struct TWindowSizes {
  int32_t WindowWidth = 0, WindowHeight = 0;
  int32_t DrawableWidth = 0, DrawableHeight = 0;
};

// The frame's place in the drawable, in its pixels, centred with its aspect kept; black
// bands fill the rest.
struct TScreenFit {
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  int32_t FrameWidth = 0, FrameHeight = 0;
  TWindowSizes Sizes;
};

// An integer fit in a drawable smaller than the frame shrinks it as a sharp fit does, rather
// than cutting off parts of the presentation that may hold its buttons.
TScreenFit FitFrame(int32_t frameWidth, int32_t frameHeight, const TWindowSizes& sizes,
                    TScaling scaling);

// The frame pixel under a point of the window. Points on the bands fall outside the frame
// (below 0 or at its size and beyond), so they reach nothing in it.
void WindowToFrame(const TScreenFit& fit, int32_t windowX, int32_t windowY, int32_t& x, int32_t& y);
