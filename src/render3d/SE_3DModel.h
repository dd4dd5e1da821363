#pragma once
// A loaded 3D object as the scene, its front end and the script share it, with the angle
// tables they turn it by. Angles are hundredths of a degree.
#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "render3d/SE_3DFace.h"

// Entries of the per-vertex and per-face lists: three 32-bit integers.
struct TVector3 {
  int32_t X = 0, Y = 0, Z = 0;
  bool operator==(const TVector3&) const = default;
};

// Sine and cosine x 1024 for every angle 0..35999, rounded to nearest (ties to even).
inline constexpr int32_t kFullTurn = 36000;
const std::array<int32_t, kFullTurn>& SinTable();
const std::array<int32_t, kFullTurn>& CosTable();
// Any integer angle brought into 0..35999.
int32_t NormalizeAngle(int64_t angle);

// An object file or object entry that cannot be read, or whose data contradicts itself.
class T3DObjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One loaded object. The scene and the script object that made it share it; the script
// writes the animated fields directly.
struct T3DObject {
  int32_t VertexCount = 0, FaceCount = 0;
  std::vector<TVector3> TexCoords;         // (u, v, 0) per vertex
  std::vector<TVector3> Vertices;          // file coordinates x load scale, rounded
  std::vector<TVector3> VertexNormals;     // components in -100..100
  std::vector<TVector3> Faces;             // three 1-based vertex numbers each
  std::vector<TVector3> Projected;         // screen x, screen y, view z (each frame)
  std::vector<TVector3> ProjectedNormals;  // environment u, v, view z (codes 6 and 7)
  int32_t Alfa = 0, Beta = 0, Gamma = 0;
  int32_t ScreenX = 0, ScreenY = 0;
  int32_t RenderCode = kRenderNothing;
  bool ShowInvisibleFaces = false;
  int32_t BoundsLeft = 0, BoundsTop = 0, BoundsRight = 0, BoundsBottom = 0;
  // Textures in the display's 16-bit format, 256 x 256 pixels each; empty when none.
  std::vector<uint16_t> Texture, Texture2;
  TFillProc FillProc = nullptr;
  uint8_t Visible = 1;
};

// A queued face and its depth key.
struct TDrawEntry {
  int32_t Key = 0;
  TFaceRec* Face = nullptr;
};
