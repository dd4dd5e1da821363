#pragma once
// Wavefront OBJ meshes made with any 3D tool, turned into the player's own object file:
// little-endian 16-bit vertex and face counts, vertices, then faces of three 1-based numbers.
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

class TWavefrontError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TWavefrontOptions {
  double Scale = 1;    // applied after centring, before fitting
  double Fit = 0;      // > 0: scaled so the farthest vertex lies this far from the origin
  bool Center = false; // the middle of the bounding box moved to the origin
  // The tools' axes (y up, z towards the viewer) turned into the player's (y down, z away
  // from the viewer); a half turn about x, so faces keep the side they show.
  bool ConvertAxes = true;
};

struct TWavefrontStats {
  int32_t Vertices = 0, Faces = 0, Polygons = 0;  // polygons of more than three corners fanned
};

// The most vertices, and the most faces, an object file holds.
inline constexpr int32_t kObjectFileMaxCount = 32767;

// A mesh as the OBJ text gives it: positions as written, triangles of 0-based vertex numbers.
struct TWavefrontMesh {
  std::vector<std::array<double, 3>> Vertices;
  std::vector<std::array<int32_t, 3>> Faces;
  int32_t Polygons = 0;  // polygons of more than three corners, fanned into triangles
};

// Reads an OBJ text. Faces with more than three corners are fanned into triangles from their
// first corner; texture and normal indices are ignored, as the object file has no room for
// them. Throws TWavefrontError naming the line of a bad number or of an index outside the
// vertices read so far.
TWavefrontMesh ReadWavefront(std::string_view text);

// The object file of a mesh, centred, scaled and turned as the options say. Throws
// TWavefrontError for what it cannot hold or what would come out wrong: no faces, more than
// 32767 vertices or faces, a coordinate that does not fit 16 bits after scaling, or every
// vertex landing on one point.
std::vector<uint8_t> WriteObjectFile(TWavefrontMesh mesh, const TWavefrontOptions& options,
                                     TWavefrontStats* stats = nullptr);

// ReadWavefront, then WriteObjectFile.
std::vector<uint8_t> ConvertWavefront(std::string_view text, const TWavefrontOptions& options,
                                      TWavefrontStats* stats = nullptr);
