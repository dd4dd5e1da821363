#include "render3d/SE_3DObjectFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

constexpr int32_t kNormalListSize = 100;

struct TFloat3 {
  float X = 0, Y = 0, Z = 0;
};

int16_t ReadInt16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

float ToFloatScale(long double scale) {
  // Beyond float's range a scale is infinite, as the processor would make it.
  if (std::isfinite(scale) && std::fabs(scale) > std::numeric_limits<float>::max())
    return scale > 0 ? std::numeric_limits<float>::infinity()
                     : -std::numeric_limits<float>::infinity();
  return static_cast<float>(scale);
}

// Cross products are taken in 32-bit integers that wrap, as the objects were authored
// against; unsigned arithmetic gives the same low bits without overflow.
int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t WrapCross(int32_t a, int32_t b, int32_t c, int32_t d) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b) -
                              static_cast<uint32_t>(c) * static_cast<uint32_t>(d));
}

TFloat3 FaceNormal(const TVector3& p1, const TVector3& p2, const TVector3& p3) {
  const int32_t x21 = WrapSub(p2.X, p1.X), y21 = WrapSub(p2.Y, p1.Y), z21 = WrapSub(p2.Z, p1.Z);
  const int32_t x31 = WrapSub(p3.X, p1.X), y31 = WrapSub(p3.Y, p1.Y), z31 = WrapSub(p3.Z, p1.Z);
  const int32_t nx = WrapCross(y21, z31, z21, y31);
  const int32_t ny = WrapCross(z21, x31, x21, z31);
  const int32_t nz = WrapCross(x21, y31, y21, x31);
  // The 1 keeps the length above zero for faces without area.
  const long double squares = static_cast<long double>(nx) * nx + 1.0L +
                              static_cast<long double>(ny) * ny + static_cast<long double>(nz) * nz;
  const float length = static_cast<float>(std::sqrt(squares));
  return {static_cast<float>(100.0L * nx / length), static_cast<float>(100.0L * ny / length),
          static_cast<float>(100.0L * nz / length)};
}

std::string Label(const std::string& name) { return "3D object " + name + ": "; }

void CheckFaces(const T3DObject& object, const std::string& name) {
  for (size_t j = 0; j < object.Faces.size(); ++j)
    for (int32_t number : {object.Faces[j].X, object.Faces[j].Y, object.Faces[j].Z})
      if (number < 1 || number > object.VertexCount)
        throw T3DObjectError(Label(name) + "face " + std::to_string(j + 1) + " names vertex " +
                             std::to_string(number) + ", but the object has " +
                             std::to_string(object.VertexCount) + " vertices");
}

// Each vertex averages the normals of the faces naming it, gathered into a list of 100 that
// all vertices share and that is cleared only once: a face naming a vertex twice advances the
// count by two, so the slot it skips keeps what the vertex before left there. Faces are
// grouped by vertex first, which gives the same lists as walking every face per vertex.
void ComputeVertexNormals(T3DObject& object, const T3DScale& scale) {
  std::vector<TFloat3> faceNormals(object.Faces.size());
  std::vector<int32_t> start(static_cast<size_t>(object.VertexCount) + 1, 0);
  for (size_t j = 0; j < object.Faces.size(); ++j) {
    const TVector3& f = object.Faces[j];
    faceNormals[j] = FaceNormal(FileVertex(object.Vertices[f.X - 1], scale),
                                FileVertex(object.Vertices[f.Y - 1], scale),
                                FileVertex(object.Vertices[f.Z - 1], scale));
    ++start[f.X];
    if (f.Y != f.X) ++start[f.Y];
    if (f.Z != f.X && f.Z != f.Y) ++start[f.Z];
  }
  for (int32_t n = 1; n <= object.VertexCount; ++n) start[n] += start[n - 1];
  struct TUse {
    int32_t Face = 0, Times = 0;
  };
  std::vector<TUse> uses(static_cast<size_t>(start[object.VertexCount]));
  std::vector<int32_t> fill(start.begin(), start.end() - 1);
  for (size_t j = 0; j < object.Faces.size(); ++j) {
    const TVector3& f = object.Faces[j];
    for (int32_t number : {f.X, f.Y, f.Z}) {
      const int32_t at = fill[number - 1];
      if (at > start[number - 1] && uses[at - 1].Face == static_cast<int32_t>(j))
        ++uses[at - 1].Times;
      else
        uses[fill[number - 1]++] = {static_cast<int32_t>(j), 1};
    }
  }
  std::array<TFloat3, kNormalListSize> list{};
  for (int32_t n = 0; n < object.VertexCount; ++n) {
    int32_t count = 0;
    for (int32_t k = start[n]; k < start[n + 1]; ++k) {
      count = std::min(count + uses[k].Times, kNormalListSize);
      list[count - 1] = faceNormals[uses[k].Face];
    }
    TFloat3 sum;
    for (int32_t k = 0; k < count; ++k) {
      sum.X += list[k].X;
      sum.Y += list[k].Y;
      sum.Z += list[k].Z;
    }
    const long double divisor = count > 0 ? count : 1;
    object.VertexNormals[n] = {RoundToInt32(sum.X / divisor), -RoundToInt32(sum.Y / divisor),
                               RoundToInt32(sum.Z / divisor)};
  }
}

}  // namespace

T3DScale ScaleOf(long double x, long double y, long double z) {
  return {ToFloatScale(x), ToFloatScale(y), ToFloatScale(z)};
}

int32_t RoundToInt32(long double value) {
  if (std::isnan(value)) return 0;
  const long double rounded = std::nearbyint(value);
  if (rounded <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (rounded >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(rounded);
}

long double Unscale(int32_t stored, float scale) {
  if (scale == 0 || !std::isfinite(scale)) return 0;
  return stored / static_cast<long double>(scale);
}

int32_t FileCoordinate(int32_t stored, float scale) { return RoundToInt32(Unscale(stored, scale)); }

TVector3 FileVertex(const TVector3& stored, const T3DScale& scale) {
  return {FileCoordinate(stored.X, scale.X), FileCoordinate(stored.Y, scale.Y),
          FileCoordinate(stored.Z, scale.Z)};
}

void ParseObjectData(const uint8_t* data, size_t size, const T3DScale& scale,
                     const std::string& name, T3DObject& object) {
  if (size < 4)
    throw T3DObjectError(Label(name) + std::to_string(size) +
                         " bytes, too few for its vertex and face counts");
  const int32_t vertexCount = ReadInt16(data), faceCount = ReadInt16(data + 2);
  if (vertexCount < 0 || faceCount < 0)
    throw T3DObjectError(Label(name) + "negative count (" + std::to_string(vertexCount) +
                         " vertices, " + std::to_string(faceCount) + " faces)");
  const size_t needed =
      4 + 6 * static_cast<size_t>(vertexCount) + 6 * static_cast<size_t>(faceCount);
  if (size < needed)
    throw T3DObjectError(Label(name) + std::to_string(size) + " bytes, but " +
                         std::to_string(vertexCount) + " vertices and " +
                         std::to_string(faceCount) + " faces need " + std::to_string(needed));
  object.VertexCount = vertexCount;
  object.FaceCount = faceCount;
  object.Vertices.resize(vertexCount);
  const uint8_t* p = data + 4;
  for (TVector3& v : object.Vertices) {
    v = {RoundToInt32(ReadInt16(p) * static_cast<long double>(scale.X)),
         RoundToInt32(ReadInt16(p + 2) * static_cast<long double>(scale.Y)),
         RoundToInt32(ReadInt16(p + 4) * static_cast<long double>(scale.Z))};
    p += 6;
  }
  object.Faces.resize(faceCount);
  for (TVector3& f : object.Faces) {
    f = {ReadInt16(p), ReadInt16(p + 2), ReadInt16(p + 4)};
    p += 6;
  }
  CheckFaces(object, name);
  object.VertexNormals.assign(vertexCount, TVector3{});
  object.TexCoords.assign(vertexCount, TVector3{});
  object.Projected.assign(vertexCount, TVector3{});
  object.ProjectedNormals.assign(vertexCount, TVector3{});
  ComputeVertexNormals(object, scale);
}
