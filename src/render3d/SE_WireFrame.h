#pragma once
// The wire-frame fill routine: the face's three edges as clipped lines in the target's
// WireColor, both end points drawn.
#include "render3d/SE_3DFace.h"

void FillWireFrame(const TFillTarget& target, const TFaceRec& face);
