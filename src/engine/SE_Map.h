#pragma once
// The engine's container for a scrolling tile map. Nothing loads, scrolls or draws a map; the
// container lives empty for the whole run, created and freed with the engine.
#include <cstdint>
#include <memory>
#include <vector>

#include "base/SE_Object.h"

class TGEDisplay;

class TGEMap : public TGEObject {
 public:
  explicit TGEMap(TGEDisplay* display);
  ~TGEMap() override;

  void SetScrollX(int32_t value);
  void SetScrollY(int32_t value);
  // Releases every tile, block and object the map holds.
  void Clear();

  int32_t ScrollX = 0;
  int32_t ScrollY = 0;
  bool Changed = false;
  TGEDisplay* Display;
  std::vector<uint8_t> TileBuffer;
  std::vector<std::vector<uint8_t>> MapBlocks;
  std::vector<std::vector<uint8_t>> Tiles;
};
