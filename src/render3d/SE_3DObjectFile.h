#pragma once
// The compact object file: little-endian 16-bit vertex and face counts, the vertices, then the
// faces as 1-based vertex numbers. Parsing scales the vertices and derives the vertex normals;
// the scene, the tests and the fuzz target share it so that bytes need no file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "render3d/SE_3DModel.h"

// The load scales as the object keeps them: single precision, as authored objects were made.
struct T3DScale {
  float X = 1, Y = 1, Z = 1;
};
T3DScale ScaleOf(long double x, long double y, long double z);

// Round to nearest (ties to even) into the 32-bit range: values beyond it stick to its ends,
// and NaN becomes 0, so no caller meets an undefined conversion.
int32_t RoundToInt32(long double value);

// A stored (scaled) coordinate divided back by its scale, unrounded; 0 when the scale is 0 or
// not finite, since nothing can be recovered then.
long double Unscale(int32_t stored, float scale);
// The file coordinate recovered from a stored one: Round(stored / scale).
int32_t FileCoordinate(int32_t stored, float scale);
TVector3 FileVertex(const TVector3& stored, const T3DScale& scale);

// Fills the counts, Vertices, Faces and VertexNormals of `object` from object data, and sizes
// TexCoords, Projected and ProjectedNormals to one zeroed entry per vertex. Negative counts,
// data shorter than the counts need and face numbers outside 1..V throw T3DObjectError, its
// message beginning with `name`. Bytes after the faces are ignored.
void ParseObjectData(const uint8_t* data, size_t size, const T3DScale& scale,
                     const std::string& name, T3DObject& object);
