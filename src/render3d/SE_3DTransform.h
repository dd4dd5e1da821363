#pragma once
// The frame's front end: objects rotated and projected, their faces checked and queued with a
// depth key, and the queue put in drawing order. The fillers behind it only see queued faces.
#include <cstdint>
#include <vector>

#include "render3d/SE_3DModel.h"

// Added to the view depth before the perspective division.
inline constexpr int32_t kViewDistance = 400;
// The projection factor of vertex normals for environment mapping.
inline constexpr int32_t kNormalZoom = 450;
// Faces with a corner deeper than this are not drawn.
inline constexpr int32_t kFarthestDepth = 32000;
// The fillers keep x and y in 16.16 fixed point; corners beyond this cannot be drawn.
inline constexpr int32_t kLargestScreenCoordinate = 32767;

// Rewrites Projected (and, for render codes 6 and up, ProjectedNormals) for the object's
// angles, position and the zoom.
void ProjectObject(T3DObject& object, int32_t zoom);

// Faces queued this frame: entries of DrawList pointing at records of FaceBuffer.
struct TFaceQueue {
  std::vector<TDrawEntry>& DrawList;
  std::vector<TFaceRec>& FaceBuffer;
  int32_t& Count;
};

// Queues the object's drawable faces after ProjectObject and widens its bounds by them. The
// clip rectangle of `target` rejects faces wholly outside it (unless the object shows its
// invisible faces). Faces that no longer fit the buffers are left out.
void QueueFaces(T3DObject& object, const TFillTarget& target, TFaceQueue& queue);

// Orders entries by key, descending (farthest first) or ascending, by the quicksort the
// scene has always used, so faces of equal keys are drawn in the same order as ever.
void SortDrawList(TDrawEntry* entries, int32_t count, bool ascending);
