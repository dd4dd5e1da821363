#include "render3d/SE_3DTransform.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "render3d/SE_3DObjectFile.h"

namespace {

struct TRotation {
  int32_t SinAlfa, CosAlfa, SinBeta, CosBeta, SinGamma, CosGamma;
};

TRotation RotationOf(const T3DObject& object) {
  const auto& sine = SinTable();
  const auto& cosine = CosTable();
  const int32_t alfa = NormalizeAngle(object.Alfa), beta = NormalizeAngle(object.Beta),
                gamma = NormalizeAngle(object.Gamma);
  return {sine[alfa], cosine[alfa], sine[beta], cosine[beta], sine[gamma], cosine[gamma]};
}

// A sum of two products of a coordinate and a table value x 1024, in 32 bits that wrap, then
// back to the coordinate's scale (rounding toward minus infinity).
int32_t Turn(int32_t a, int32_t fa, int32_t b, int32_t fb) {
  return static_cast<int32_t>(int64_t{a} * fa + int64_t{b} * fb) >> 10;
}

TVector3 Rotate(const TVector3& v, const TRotation& r) {
  const int32_t x1 = Turn(v.X, r.CosBeta, v.Z, -r.SinBeta);
  const int32_t z1 = Turn(v.Z, r.CosBeta, v.X, r.SinBeta);
  const int32_t y1 = Turn(v.Y, r.CosGamma, z1, r.SinGamma);
  const int32_t z2 = Turn(z1, r.CosGamma, v.Y, -r.SinGamma);
  const int32_t x2 = Turn(x1, r.CosAlfa, y1, r.SinAlfa);
  const int32_t y2 = Turn(y1, r.CosAlfa, x1, -r.SinAlfa);
  return {x2, y2, z2};
}

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Perspective: the rotated point times the factor, over its depth plus the view distance.
// Points at or behind the eye are not divided; their faces are dropped when queued.
TVector3 Project(const TVector3& point, const TRotation& r, int32_t factor, int32_t offsetX,
                 int32_t offsetY) {
  const TVector3 view = Rotate(point, r);
  int32_t sx = static_cast<int32_t>(int64_t{view.X} * factor);
  int32_t sy = static_cast<int32_t>(int64_t{view.Y} * factor);
  const int32_t d = view.Z + kViewDistance;
  if (d > 0) {
    const long double reciprocal = 1.0L / d;
    sx = RoundToInt32(sx * reciprocal);
    sy = RoundToInt32(sy * reciprocal);
  }
  return {Saturate(int64_t{sx} + offsetX), Saturate(int64_t{sy} + offsetY), view.Z};
}

int32_t TextureWord(int32_t value) { return std::clamp(value, 0, 255); }

bool Drawable(const TVector3& p) {
  // Nearer than the eye covers the old limit of -9000 in depth as well.
  return p.Z + kViewDistance > 0 && p.Z <= kFarthestDepth && p.X >= -kLargestScreenCoordinate &&
         p.X <= kLargestScreenCoordinate && p.Y >= -kLargestScreenCoordinate &&
         p.Y <= kLargestScreenCoordinate;
}

// Corners listed clockwise on the screen turn their back to the viewer; no area counts as
// facing.
bool FacesViewer(const TCornerRec (&c)[3]) {
  return int64_t{c[2].X - c[0].X} * (c[1].Y - c[0].Y) -
             int64_t{c[1].X - c[0].X} * (c[2].Y - c[0].Y) >=
         0;
}

int32_t OutCode(const TCornerRec& c, const TFillTarget& clip) {
  return (c.Y < clip.ClipTop ? 1 : 0) | (c.Y > clip.ClipBottom ? 2 : 0) |
         (c.X < clip.ClipLeft ? 4 : 0) | (c.X > clip.ClipRight ? 8 : 0);
}

bool WhollyOutside(const TCornerRec (&c)[3], const TFillTarget& clip) {
  return (OutCode(c[0], clip) & OutCode(c[1], clip) & OutCode(c[2], clip)) != 0;
}

// Fills the face's corners; false when a corner cannot be drawn.
bool FillCorners(const T3DObject& object, const TVector3& face, TFaceRec& rec, int32_t& key) {
  const int32_t numbers[3] = {face.X, face.Y, face.Z};
  key = 0;
  for (int32_t k = 0; k < 3; ++k) {
    const int32_t n = numbers[k] - 1;
    if (n < 0 || n >= static_cast<int32_t>(object.Projected.size())) return false;
    const TVector3& p = object.Projected[n];
    if (!Drawable(p)) return false;
    TCornerRec& corner = rec.Corners[k];
    corner = {p.X, p.Y, p.Z};
    key += p.Z;
    switch (object.RenderCode) {
      case kRenderTextured:
      case kRenderKeyed:
      case kRenderAverage:
        corner.U = TextureWord(object.TexCoords[n].X);
        corner.V = TextureWord(object.TexCoords[n].Y);
        if (object.RenderCode == kRenderAverage) {
          corner.EnvU = TextureWord(object.ProjectedNormals[n].X);
          corner.EnvV = TextureWord(object.ProjectedNormals[n].Y);
        }
        break;
      case kRenderEnvironment:
        corner.U = TextureWord(object.ProjectedNormals[n].X);
        corner.V = TextureWord(object.ProjectedNormals[n].Y);
        break;
      default:
        break;
    }
  }
  return true;
}

void Widen(T3DObject& object, const TCornerRec (&c)[3]) {
  for (const TCornerRec& corner : c) {
    object.BoundsLeft = std::min(object.BoundsLeft, corner.X);
    object.BoundsRight = std::max(object.BoundsRight, corner.X);
    object.BoundsTop = std::min(object.BoundsTop, corner.Y);
    object.BoundsBottom = std::max(object.BoundsBottom, corner.Y);
  }
}

template <bool Ascending>
bool Before(int32_t a, int32_t b) {
  return Ascending ? a < b : a > b;
}

// Middle pivot, scans toward each other, whole entries swapped. The smaller part is sorted by
// recursion and the larger by the loop, which keeps the stack short and changes nothing in
// the result, as the parts are sorted independently.
template <bool Ascending>
void QuickSort(TDrawEntry* e, int32_t low, int32_t high) {
  while (low < high) {
    int32_t i = low, j = high;
    const int32_t pivot = e[low + (high - low) / 2].Key;
    do {
      while (Before<Ascending>(e[i].Key, pivot)) ++i;
      while (Before<Ascending>(pivot, e[j].Key)) --j;
      if (i <= j) {
        std::swap(e[i], e[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (j - low < high - i) {
      QuickSort<Ascending>(e, low, j);
      low = i;
    } else {
      QuickSort<Ascending>(e, i, high);
      high = j;
    }
  }
}

}  // namespace

void ProjectObject(T3DObject& object, int32_t zoom) {
  const TRotation r = RotationOf(object);
  const size_t count = std::min(object.Vertices.size(), object.Projected.size());
  for (size_t i = 0; i < count; ++i)
    object.Projected[i] = Project(object.Vertices[i], r, zoom, object.ScreenX, object.ScreenY);
  if (object.RenderCode < kRenderAverage) return;
  const size_t normals = std::min(object.VertexNormals.size(), object.ProjectedNormals.size());
  for (size_t i = 0; i < normals; ++i)
    object.ProjectedNormals[i] = Project(object.VertexNormals[i], r, kNormalZoom, 128, 128);
}

void QueueFaces(T3DObject& object, const TFillTarget& target, TFaceQueue& queue) {
  const int32_t capacity =
      static_cast<int32_t>(std::min(queue.DrawList.size(), queue.FaceBuffer.size()));
  for (const TVector3& face : object.Faces) {
    if (queue.Count >= capacity) return;
    TFaceRec& rec = queue.FaceBuffer[queue.Count];
    int32_t key = 0;
    if (!FillCorners(object, face, rec, key)) continue;
    if (!object.ShowInvisibleFaces &&
        (!FacesViewer(rec.Corners) || WhollyOutside(rec.Corners, target)))
      continue;
    Widen(object, rec.Corners);
    rec.Texture = object.Texture.empty() ? nullptr : object.Texture.data();
    rec.Texture2 = object.Texture2.empty() ? nullptr : object.Texture2.data();
    rec.FillProc = object.FillProc;
    queue.DrawList[queue.Count] = {key, &rec};
    ++queue.Count;
  }
}

void SortDrawList(TDrawEntry* entries, int32_t count, bool ascending) {
  if (ascending)
    QuickSort<true>(entries, 0, count - 1);
  else
    QuickSort<false>(entries, 0, count - 1);
}
