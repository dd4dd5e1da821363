#pragma once
// Meshes with more vertices or faces than an object file holds, made smaller to fit.
#include <cstdint>

#include "render3d/SE_Wavefront.h"

// The mesh with at most `maxFaces` triangles and at most 32767 vertices. Vertices at the same
// place are joined first (tools often write each face with its own corners) and vertices no
// face uses are left out; then edges are collapsed, those that change the shape least first,
// until the mesh fits. Throws TWavefrontError when it cannot be made to fit.
TWavefrontMesh SimplifyMesh(const TWavefrontMesh& mesh, int32_t maxFaces);
