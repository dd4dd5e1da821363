#pragma once
// The 3D scene: every software-rendered object of a presentation, loaded from the compact
// object file (or a resource entry) with its textures, rotated, projected, ordered by depth
// and drawn by the fillers into the frame being composed. Angles are hundredths of a degree.
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "render3d/SE_PolyFiller.h"

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

// The parameters of LoadObject, in its documented order.
struct T3DLoadRequest {
  std::string ResFile;     // empty: the names below are file paths (code page 1250)
  std::string ObjectName;  // a file, or an entry of ResFile
  std::string Texture1, Texture2;
  bool Convert555 = false;  // textures of a resource file are turned from 5-6-5 to 5-5-5
  int32_t Mapping = 2;      // 0..27; others generate no coordinates
  int32_t RenderMode = 0;   // 0..5; others draw nothing
  int32_t ScreenX = 0, ScreenY = 0;
  long double ScaleX = 1, ScaleY = 1, ScaleZ = 1;
  bool ShowInvisibleFaces = false;
};

class TSE3D {
 public:
  // A scene drawing into frames of width x height at bitsPerPixel (15 or 16; other depths
  // get no textures and draw nothing), clipped to the inclusive rectangle.
  TSE3D(int32_t width, int32_t height, int32_t bitsPerPixel, int32_t clipTop, int32_t clipBottom,
        int32_t clipLeft, int32_t clipRight);
  ~TSE3D();
  TSE3D(const TSE3D&) = delete;
  TSE3D& operator=(const TSE3D&) = delete;

  // Loads, checks and appends an object. A file or entry that cannot be read, or data that
  // is shorter than its counts or names a vertex outside 1..V, throws T3DObjectError with a
  // message naming it; nothing is added then.
  std::shared_ptr<T3DObject> LoadObject(const T3DLoadRequest& request);
  // Sizes the draw buffers for every object loaded so far; with a z-buffer, switches their
  // fill routines to the depth-tested ones and orders faces nearest first.
  void Prepare(bool useZBuffer);
  // Draws every visible object into the frame (16-bit pixels, `pitch` pixels a row, at least
  // the scene's width x height) and updates each drawn object's bounds.
  void RenderAll(uint16_t* frame, int32_t pitch);
  // Frees the draw buffers and the scene's hold on its objects.
  void ReleaseObjects();

  int32_t Count() const { return static_cast<int32_t>(Objects.size()); }

  std::vector<std::shared_ptr<T3DObject>> Objects;  // in load order
  int32_t TotalFaces = 0, TotalVertices = 0;
  std::vector<TDrawEntry> DrawList;
  std::vector<TFaceRec> FaceBuffer;
  int32_t QueuedFaces = 0;
  bool ZBufferEnabled = false;
  std::vector<int16_t> ZBuffer;
  int32_t Zoom = 200;
  int32_t Width = 0, Height = 0, BitsPerPixel = 16;
  TFillTarget Target;  // clip rectangle, masks and depth buffer of the fillers
};

// Render mode 0..5 as its internal render code.
int32_t RenderCodeOfMode(int32_t renderMode);
