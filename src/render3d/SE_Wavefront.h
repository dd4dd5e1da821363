#pragma once
// Wavefront OBJ meshes made with any 3D tool, turned into the player's own object file:
// little-endian 16-bit vertex and face counts, vertices, then faces of three 1-based numbers.
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

// The object file for an OBJ text. Faces with more than three corners are fanned into
// triangles from their first corner; texture and normal indices are ignored, as the object
// file has no room for them. Throws TWavefrontError naming the line for anything it cannot
// take: a bad number, an index outside the vertices, more than 32767 vertices or faces, or a
// coordinate that does not fit 16 bits after scaling.
std::vector<uint8_t> ConvertWavefront(std::string_view text, const TWavefrontOptions& options,
                                      TWavefrontStats* stats = nullptr);
