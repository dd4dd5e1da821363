#pragma once
// The triangle fillers of the 3D scene: one fill routine per render code, drawing 16-bit
// pixels into the frame being composed. Triangles are scan-converted in 16.16 fixed point with
// texture coordinates interpolated linearly in screen space; the top row and the left end of
// each span are drawn, the bottom row and the right end are not.
#include <cstdint>

#include "render3d/SE_3DFace.h"

// The fill routine of a render code, plain or depth-tested (codes without a depth-tested
// form give their plain routine; unknown codes the routine that draws nothing). A textured
// routine draws nothing for a face without its texture (both textures for the average), and
// never reads a texel outside the 256 x 256 block, whatever the corners say.
TFillProc FillProcFor(int32_t renderCode, bool zBuffered);
