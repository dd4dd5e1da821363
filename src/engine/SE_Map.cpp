#include "engine/SE_Map.h"

TGEMap::TGEMap(TGEDisplay* display) : Display(display) {
  SetScrollX(0);
  SetScrollY(0);
}

TGEMap::~TGEMap() { Clear(); }

void TGEMap::SetScrollX(int32_t value) {
  if (value == ScrollX) return;
  ScrollX = value;
  Changed = true;
}

void TGEMap::SetScrollY(int32_t value) {
  if (value == ScrollY) return;
  ScrollY = value;
  Changed = true;
}

void TGEMap::Clear() {
  MapBlocks.clear();
  Tiles.clear();
  TileBuffer.clear();
}
