#pragma once
// The span loop of every textured filler, written once over the features a fill routine has
// (what a texel becomes on screen, depth test) so that each routine gets its own loop without
// a per-pixel branch on its mode.
//
// Values are 16.16 fixed point held in 64 bits: the edges of corners near the ends of the
// 16-bit coordinate range, plus the rounding that walking them gathers, do not fit in 32
// bits, and no corner a caller can pass may make the arithmetic undefined.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "render3d/SE_3DFace.h"

enum class TTexelMode {
  Copy,    // the texel as it is
  Keyed,   // the texel unless it is 0
  Average  // the per-channel average of a texel of each texture
};

// The features of one textured fill routine and the values its edges carry: texture
// coordinates (u, v, and for the average the environment pair), then the depth.
template <TTexelMode Mode, bool DepthTest>
struct TFillKind {
  static constexpr TTexelMode Texel = Mode;
  static constexpr bool Depth = DepthTest;
  static constexpr int TextureValues = Mode == TTexelMode::Average ? 4 : 2;
  static constexpr int Values = TextureValues + (DepthTest ? 1 : 0);
  static constexpr int ZIndex = TextureValues;  // only meaningful with a depth test
  enum : int { U = 0, V = 1, EnvU = 2, EnvV = 3 };
};

template <class Kind>
using TSpanValues = std::array<int64_t, Kind::Values>;

// Whole texture coordinate of a 16.16 value; the clamped form serves spans that would leave
// the 256 x 256 block.
template <bool Clamp>
inline int64_t TexelCoord(int64_t value) {
  if constexpr (Clamp)
    return std::clamp<int64_t>(value >> 16, 0, kTextureSide - 1);
  else
    return value >> 16;
}

struct TSpanTarget {
  uint16_t* Row = nullptr;  // the span's first pixel
  int16_t* ZRow = nullptr;  // its depth, for the depth-tested routines
  const uint16_t* Texture = nullptr;
  const uint16_t* Texture2 = nullptr;
  uint16_t HalfMask = 0, LowMask = 0;
};

template <class Kind, bool Clamp>
inline void DrawSpanPixel(const TSpanTarget& span, int64_t k, const TSpanValues<Kind>& a) {
  if constexpr (Kind::Depth) {
    const auto depth = static_cast<int16_t>(a[Kind::ZIndex] >> 16);
    if (depth > span.ZRow[k]) return;
    // A transparent texel still hides what lies behind it in depth.
    span.ZRow[k] = depth;
  }
  if constexpr (Kind::Texel == TTexelMode::Average) {
    const uint32_t first =
        span.Texture[TexelCoord<Clamp>(a[Kind::V]) * kTextureSide + TexelCoord<Clamp>(a[Kind::U])];
    const uint32_t second = span.Texture2[TexelCoord<Clamp>(a[Kind::EnvV]) * kTextureSide +
                                          TexelCoord<Clamp>(a[Kind::EnvU])];
    span.Row[k] =
        static_cast<uint16_t>(((first >> 1) & span.HalfMask) + ((second >> 1) & span.HalfMask) +
                              (first & second & span.LowMask));
  } else {
    const uint16_t texel =
        span.Texture[TexelCoord<Clamp>(a[Kind::U]) * kTextureSide + TexelCoord<Clamp>(a[Kind::V])];
    if constexpr (Kind::Texel == TTexelMode::Keyed)
      if (texel == 0) return;
    span.Row[k] = texel;
  }
}

// n pixels from the span's first, the values starting at `a` and stepping by `d`.
template <class Kind, bool Clamp>
inline void DrawSpanPixels(const TSpanTarget& span, int64_t n, TSpanValues<Kind> a,
                           const TSpanValues<Kind>& d) {
  for (int64_t k = 0; k < n; ++k) {
    DrawSpanPixel<Kind, Clamp>(span, k, a);
    for (int i = 0; i < Kind::Values; ++i) a[i] += d[i];
  }
}

// The walk is linear, so its first and last texture coordinates bound every one between.
template <class Kind>
inline bool SpanStaysInTexture(int64_t n, const TSpanValues<Kind>& a, const TSpanValues<Kind>& d) {
  for (int i = 0; i < Kind::TextureValues; ++i) {
    const int64_t first = a[i] >> 16, last = (a[i] + (n - 1) * d[i]) >> 16;
    if (first < 0 || first >= kTextureSide || last < 0 || last >= kTextureSide) return false;
  }
  return true;
}

template <class Kind>
inline void DrawSpan(const TSpanTarget& span, int64_t n, const TSpanValues<Kind>& a,
                     const TSpanValues<Kind>& d) {
  if (SpanStaysInTexture<Kind>(n, a, d))
    DrawSpanPixels<Kind, false>(span, n, a, d);
  else
    DrawSpanPixels<Kind, true>(span, n, a, d);
}

// Per-pixel increment of a value across a span of n pixels: truncating division in the
// plain routines, a rounded floating-point reciprocal in the depth-tested ones.
template <bool Depth>
inline int64_t SpanStep(int64_t difference, int64_t n) {
  if constexpr (Depth)
    return static_cast<int64_t>(
        std::nearbyint(static_cast<double>(difference) * (1.0 / static_cast<double>(n))));
  else
    return difference / n;
}
