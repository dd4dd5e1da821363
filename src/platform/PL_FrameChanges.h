#pragma once
// The parts of a frame drawn since it was last shown. A frame that did not change is neither
// copied nor sent to the screen, and one that changed a little is sent a little at a time.
#include <cstdint>
#include <vector>

#include "platform/PL_Surface.h"

class TFrameChanges {
 public:
  // The frame's size: every rectangle is cut to it. A new size changes everything.
  void Resize(int32_t width, int32_t height);
  // A drawn rectangle, edges in 64 bits since objects may sit anywhere in the int32 range.
  void Add(int64_t left, int64_t top, int64_t right, int64_t bottom);
  // Something drew without saying where: the whole frame.
  void AddAll();
  void Reset();

  bool Empty() const { return !All && Rects.empty(); }
  bool Whole() const { return All; }
  // The changed rectangles, none empty; the whole frame when Whole(). They may overlap.
  const std::vector<TRect>& List() const { return All ? WholeList : Rects; }

 private:
  bool All = true;
  int32_t Width = 0, Height = 0;
  std::vector<TRect> Rects;
  std::vector<TRect> WholeList;
};
