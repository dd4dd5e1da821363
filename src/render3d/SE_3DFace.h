#pragma once
// A face as the scene queues it for the fillers, and the target the fillers draw into: what the
// front end and the fillers both speak.
#include <cstdint>

// One corner of a queued face: where it lands on the screen, its view depth, its texture
// coordinates (u selects the texture row in the single-texture routines) and, for the
// two-texture routine, the environment coordinates into the second texture.
struct TCornerRec {
  int32_t X = 0, Y = 0, Z = 0;
  int32_t U = 0, V = 0;
  int32_t Unused = 0;
  int32_t EnvU = 0, EnvV = 0;
};

struct TFillTarget;
struct TFaceRec;
using TFillProc = void (*)(const TFillTarget& target, const TFaceRec& face);

// A face as the scene queues it: three corners in face order, the object's textures and the
// routine that draws it.
struct TFaceRec {
  TCornerRec Corners[3];
  const uint16_t* Texture = nullptr;   // 256 x 256 pixels, or none
  const uint16_t* Texture2 = nullptr;  // 256 x 256 pixels, or none
  TFillProc FillProc = nullptr;
};

inline constexpr int32_t kTextureSide = 256;
inline constexpr int32_t kTexturePixels = kTextureSide * kTextureSide;

// Where the fillers draw. Rows are Pitch pixels apart, so any number of rows works; the clip
// rectangle is inclusive. The depth buffer holds one signed 16-bit depth per pixel, ZPitch
// entries a row; it is only read by the depth-tested routines.
struct TFillTarget {
  uint16_t* ScreenBuffer = nullptr;
  int32_t Pitch = 640;
  int32_t ClipTop = 0, ClipBottom = 479, ClipLeft = 0, ClipRight = 639;
  int16_t* ZBuffer = nullptr;
  int32_t ZPitch = 640;
  uint16_t WireColor = 0x0BE3;
  // The two-texture average keeps each channel without its top bit after a shift right by
  // one (HalfMask) and adds back the lowest bit of each channel (LowMask); 5-6-5 values, the
  // scene sets the 5-5-5 ones (0x3DEF, 0x0421) on such displays.
  uint16_t HalfMask = 0x7BEF;
  uint16_t LowMask = 0x0821;
};

// Internal render codes; the script's render mode keywords are read by the player.
enum : int32_t {
  kRenderNothing = 0,
  kRenderWire = 1,
  kRenderTextured = 3,
  kRenderKeyed = 4,
  kRenderAverage = 6,
  kRenderEnvironment = 7
};
