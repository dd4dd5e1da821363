// Which blitter a memory-mode sprite uses. The rules look odd in places (two different
// "fully inside" tests, opacity dropped on the clipped path) but presentations were
// authored against exactly this behaviour, so it is kept as is.
#include <algorithm>

#include "graphics/SE_Blit.h"

namespace {

using TBlitter = void (*)(const TBlitSprite&, TSurfaceDesc&);
using TKeyRectBlitter = void (*)(const TBlitSprite&, const TKeyRect&, TSurfaceDesc&);

struct TDepthBlitters {
  TBlitter Key, KeyClip, Copy, CopyClip;
  TKeyRectBlitter KeyRect;
};

constexpr TDepthBlitters kBlitters16{BlitKey16, BlitKeyClip16, BlitCopy16, BlitCopyClip16,
                                     BlitKeyRect16};
constexpr TDepthBlitters kBlitters24{BlitKey24, BlitKeyClip24, BlitCopy24, BlitCopyClip24,
                                     BlitKeyRect24};
constexpr TDepthBlitters kBlitters32{BlitKey32, BlitKeyClip32, BlitCopy32, BlitCopyClip32,
                                     BlitKeyRect32};

const TDepthBlitters* BlittersFor(int32_t depth) {
  switch (depth) {
    case 15:
    case 16:
      return &kBlitters16;
    case 24:
      return &kBlitters24;
    case 32:
      return &kBlitters32;
    default:
      return nullptr;
  }
}

// Blends exist for 16-bit data only; deeper displays draw nothing for a partial alpha.
TBlitter BlendFor(const TBlitDisplay& display, bool keyed) {
  if (display.Depth != 15 && display.Depth != 16) return nullptr;
  const bool is555 = display.Depth == 15 || display.Is555;
  if (is555) {
    if (display.HasMMX) return keyed ? BlendPackedKey555 : BlendPacked555;
    return keyed ? BlendKey555 : Blend555;
  }
  if (display.HasMMX) return keyed ? BlendPackedKey565 : BlendPacked565;
  return keyed ? BlendKey565 : Blend565;
}

// A clip rectangle reaching past the target would let the unclipped blitters write
// outside it, so the choice is made against the part that lies on the target.
TBlitSprite HeldToTarget(TBlitSprite sprite, const TSurfaceDesc& target) {
  sprite.ClipLeft = std::max(sprite.ClipLeft, 0);
  sprite.ClipTop = std::max(sprite.ClipTop, 0);
  sprite.ClipRight = std::min(sprite.ClipRight, target.Width - 1);
  sprite.ClipBottom = std::min(sprite.ClipBottom, target.Height - 1);
  return sprite;
}

int64_t RightEnd(const TBlitSprite& s) { return int64_t{s.X} + s.Width; }
int64_t BottomEnd(const TBlitSprite& s) { return int64_t{s.Y} + s.Height; }

bool Rejected(const TBlitSprite& s) {
  return s.Pixels == nullptr || s.Width <= 0 || s.Height <= 0 || RightEnd(s) <= s.ClipLeft ||
         s.X > s.ClipRight || BottomEnd(s) <= s.ClipTop || s.Y > s.ClipBottom;
}

// Strict on the right and bottom: an image touching those clip edges takes the clipped path.
bool InsideForKeyed(const TBlitSprite& s) {
  return s.X >= s.ClipLeft && RightEnd(s) < s.ClipRight && s.Y >= s.ClipTop &&
         BottomEnd(s) < s.ClipBottom;
}

bool InsideForOpaque(const TBlitSprite& s) {
  return s.X >= s.ClipLeft && RightEnd(s) - 1 <= s.ClipRight && s.Y >= s.ClipTop &&
         BottomEnd(s) <= s.ClipBottom;
}

}  // namespace

void DrawTransparentMemory(const TBlitSprite& sprite, TSurfaceDesc& target,
                           const TBlitDisplay& display) {
  const TBlitSprite s = HeldToTarget(sprite, target);
  const TDepthBlitters* blitters = BlittersFor(display.Depth);
  if (blitters == nullptr || Rejected(s)) return;
  if (!InsideForKeyed(s)) {
    blitters->KeyClip(s, target);
  } else if (s.Alpha == 255) {
    blitters->Key(s, target);
  } else if (s.Alpha > 0) {
    if (TBlitter blend = BlendFor(display, true)) blend(s, target);
  }
}

void DrawMemory(const TBlitSprite& sprite, TSurfaceDesc& target, const TBlitDisplay& display) {
  const TBlitSprite s = HeldToTarget(sprite, target);
  const TDepthBlitters* blitters = BlittersFor(display.Depth);
  if (blitters == nullptr || Rejected(s)) return;
  if (!InsideForOpaque(s)) {
    if (s.Alpha == 255) blitters->CopyClip(s, target);
  } else if (s.Alpha == 255) {
    blitters->Copy(s, target);
  } else if (s.Alpha > 0) {
    if (TBlitter blend = BlendFor(display, false)) blend(s, target);
  }
}

void DrawRectMemory(const TBlitSprite& sprite, const TRect& rect, TSurfaceDesc& target,
                    const TBlitDisplay& display) {
  const TBlitSprite s = HeldToTarget(sprite, target);
  const TDepthBlitters* blitters = BlittersFor(display.Depth);
  if (blitters == nullptr) return;
  // Destination and source edges move together; right and bottom are exclusive here,
  // so the last writable column and row bound them from one beyond.
  int64_t sourceLeft = rect.Left, sourceTop = rect.Top;
  int64_t sourceRight = rect.Right, sourceBottom = rect.Bottom;
  int64_t destLeft = s.X, destTop = s.Y;
  int64_t destRight = destLeft + (sourceRight - sourceLeft);
  int64_t destBottom = destTop + (sourceBottom - sourceTop);
  const auto cutStart = [](int64_t& dest, int64_t& source, int64_t limit) {
    if (dest < limit) source += limit - dest, dest = limit;
  };
  const auto cutEnd = [](int64_t& dest, int64_t& source, int64_t limit) {
    if (dest > limit) source -= dest - limit, dest = limit;
  };
  cutStart(destLeft, sourceLeft, s.ClipLeft);
  cutStart(destTop, sourceTop, s.ClipTop);
  cutEnd(destRight, sourceRight, int64_t{s.ClipRight} + 1);
  cutEnd(destBottom, sourceBottom, int64_t{s.ClipBottom} + 1);
  if (destLeft >= destRight || destTop >= destBottom || sourceLeft >= sourceRight ||
      sourceTop >= sourceBottom)
    return;
  const TKeyRect clipped{static_cast<int32_t>(sourceLeft),
                         static_cast<int32_t>(sourceTop),
                         static_cast<int32_t>(sourceRight - sourceLeft),
                         static_cast<int32_t>(sourceBottom - sourceTop),
                         static_cast<int32_t>(destLeft),
                         static_cast<int32_t>(destTop)};
  blitters->KeyRect(s, clipped, target);
}
