#include "render3d/SE_3DMapping.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;
constexpr int32_t kCentre = 128;

int32_t Centred(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(
      value + kCentre, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A zero depth would make the angle about the vertical axis undefined on the axis itself.
long double DepthOrTiny(int32_t z) { return z == 0 ? 0.0001L : static_cast<long double>(z); }

// The angle around the vertical axis, 0..255 over the full turn.
int32_t Longitude(int32_t x, int32_t z) {
  const long double a = std::atan2(-static_cast<long double>(x), DepthOrTiny(z));
  return RoundToInt32((a + kPi) / (2 * kPi) * 255);
}

// The angle down from the top pole, 0..255; exactly at the pole the row is the last one.
int32_t Latitude(int32_t x, int32_t y, int32_t z) {
  const long double zz = DepthOrTiny(z);
  const long double b = std::atan2(std::sqrt(static_cast<long double>(x) * x + zz * zz),
                                   -static_cast<long double>(y));
  return b > 0 ? RoundToInt32(b / kPi * 255) : 255;
}

enum TAxis { kAxisX, kAxisY, kAxisZ };

// Planar codes 4k + s: the first axis listed goes to u or v, the second to the other one;
// bit 0 of s flips the first axis, bit 1 the second.
struct TPlanarPair {
  TAxis First;
  bool FirstToU;
  TAxis Second;
};
constexpr TPlanarPair kPlanarPairs[6] = {{kAxisX, true, kAxisY},  {kAxisY, true, kAxisX},
                                         {kAxisX, false, kAxisZ}, {kAxisZ, false, kAxisX},
                                         {kAxisZ, false, kAxisY}, {kAxisY, false, kAxisZ}};

int32_t Component(const TVector3& v, TAxis axis) {
  return axis == kAxisX ? v.X : axis == kAxisY ? v.Y : v.Z;
}
float ScaleOfAxis(const T3DScale& scale, TAxis axis) {
  return axis == kAxisX ? scale.X : axis == kAxisY ? scale.Y : scale.Z;
}

// 127 over the largest file coordinate of the axis, so the object spans the texture.
long double PlanarFactor(const T3DObject& object, const T3DScale& scale, TAxis axis) {
  int64_t largest = 0;
  for (const TVector3& v : object.Vertices)
    largest = std::max<int64_t>(
        largest, std::llabs(FileCoordinate(Component(v, axis), ScaleOfAxis(scale, axis))));
  return largest == 0 ? 1.0L : 127.0L / largest;
}

void Planar(T3DObject& object, int32_t mapping, const T3DScale& scale) {
  const TPlanarPair pair = kPlanarPairs[mapping / 4 - 1];
  const bool negateFirst = mapping & 1, negateSecond = mapping & 2;
  const long double firstFactor = PlanarFactor(object, scale, pair.First);
  const long double secondFactor = PlanarFactor(object, scale, pair.Second);
  auto term = [&](const TVector3& v, TAxis axis, bool negate, long double factor) {
    long double value = Unscale(Component(v, axis), ScaleOfAxis(scale, axis));
    if (negate) value = -value;
    return Centred(RoundToInt32(value * factor));
  };
  for (int32_t i = 0; i < object.VertexCount; ++i) {
    const TVector3& v = object.Vertices[i];
    const int32_t first = term(v, pair.First, negateFirst, firstFactor);
    const int32_t second = term(v, pair.Second, negateSecond, secondFactor);
    object.TexCoords[i] = pair.FirstToU ? TVector3{first, second, 0} : TVector3{second, first, 0};
  }
}

}  // namespace

void GenerateTexCoords(T3DObject& object, int32_t mapping, const T3DScale& scale) {
  if (mapping >= kMappingFirstPlanar && mapping <= kMappingLastPlanar) {
    Planar(object, mapping, scale);
    return;
  }
  for (int32_t i = 0; i < object.VertexCount; ++i) {
    const TVector3 file = FileVertex(object.Vertices[i], scale);
    TVector3& uv = object.TexCoords[i];
    switch (mapping) {
      case kMappingNormalsXY:
        uv = {object.VertexNormals[i].X % 255 + kCentre, object.VertexNormals[i].Y % 255 + kCentre,
              0};
        break;
      case kMappingSphere:
        uv = {Latitude(file.X, file.Y, file.Z), Longitude(file.X, file.Z), 0};
        break;
      case kMappingCylinder:
        uv = {Longitude(file.X, file.Z), file.Y % 255 + kCentre, 0};
        break;
      default:
        return;
    }
  }
}
