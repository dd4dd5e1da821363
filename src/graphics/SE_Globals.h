#pragma once
// Engine-wide pixel description shared by every software pixel routine.
#include <cstdint>

#include "platform/PL_Surface.h"

// One surface open for direct pixel access: a memory buffer or a locked surface.
// The pixel at (x, y) is at Pixels + y * Pitch + x * bytes-per-pixel.
struct TSurfaceDesc {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Pitch = 0;
  uint8_t* Pixels = nullptr;
  TPixelFormat Format;
};

// The surface that the blitters, the font and the 3D fillers draw into. The engine points
// it at the work buffer at the start of every frame; whoever points it elsewhere restores it.
extern TSurfaceDesc DrawTarget;

// Saves DrawTarget and restores it when the scope ends, so a temporary target cannot leak.
class TDrawTargetScope {
 public:
  explicit TDrawTargetScope(const TSurfaceDesc& target) : Saved(DrawTarget) { DrawTarget = target; }
  ~TDrawTargetScope() { DrawTarget = Saved; }
  TDrawTargetScope(const TDrawTargetScope&) = delete;
  TDrawTargetScope& operator=(const TDrawTargetScope&) = delete;

 private:
  TSurfaceDesc Saved;
};
