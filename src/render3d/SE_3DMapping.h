#pragma once
// Texture coordinates generated once per object from its shape, and the render codes that
// decide where each drawn corner takes its coordinates from. The keywords that select both
// are read by the script player.
#include <cstdint>

#include "render3d/SE_3DObjectFile.h"

enum : int32_t {
  kMappingStoredUV = 0,
  kMappingNormalsXY = 1,
  kMappingSphere = 2,
  kMappingCylinder = 3,
  kMappingFirstPlanar = 4,
  kMappingLastPlanar = 27
};

// Writes (u, v, 0) for every vertex of `object` by the mapping code; code 0 and codes above
// 27 leave TexCoords as they are. Coordinates are kept as the formulas give them, also outside
// 0..255; the scene clamps them when it queues a corner.
void GenerateTexCoords(T3DObject& object, int32_t mapping, const T3DScale& scale);
