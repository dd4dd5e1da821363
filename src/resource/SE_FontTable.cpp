#include "resource/SE_FontTable.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::array<int8_t, 256> MakeGlyphIndex() {
  std::array<int8_t, 256> index{};
  index.fill(-1);
  for (int32_t g = 0; g < kGlyphCount; ++g) index[kGlyphOrder[g]] = static_cast<int8_t>(g);
  return index;
}

constexpr std::array<int8_t, 256> kGlyphIndex = MakeGlyphIndex();

// Reads columns of one glyph row of the sheet; every read stays inside the block.
class TColumnProbe {
 public:
  TColumnProbe(const uint8_t* pixels, int32_t width, int32_t pitch, int32_t bytesPerPixel,
               int32_t lineHeight)
      : Pixels(pixels),
        Width(width),
        Pitch(pitch),
        BytesPerPixel(bytesPerPixel),
        LineHeight(lineHeight) {}

  // The number of consecutive non-empty columns from column x on, up to the right edge.
  int32_t RunLength(int32_t x, int32_t rowTop) const {
    int32_t run = 0;
    while (x + run < Width && ColumnHasInk(x + run, rowTop)) ++run;
    return run;
  }

 private:
  bool ColumnHasInk(int32_t x, int32_t rowTop) const {
    const uint8_t* p =
        Pixels + static_cast<ptrdiff_t>(rowTop) * Pitch + static_cast<ptrdiff_t>(x) * BytesPerPixel;
    for (int32_t line = 0; line < LineHeight; ++line, p += Pitch)
      for (int32_t b = 0; b < BytesPerPixel; ++b)
        if (p[b] != 0) return true;
    return false;
  }

  const uint8_t* Pixels;
  int32_t Width, Pitch, BytesPerPixel, LineHeight;
};

bool CanScan(const uint8_t* pixels, int32_t width, int32_t pitch, int32_t bytesPerPixel,
             int32_t lineHeight) {
  if (pixels == nullptr || width <= 0 || lineHeight <= 0) return false;
  if (bytesPerPixel < 2 || bytesPerPixel > 4) return false;
  return static_cast<int64_t>(pitch) >= static_cast<int64_t>(width) * bytesPerPixel;
}

}  // namespace

int32_t GlyphIndexOf(uint8_t byte) { return kGlyphIndex[byte]; }

int32_t SheetLineHeight(int32_t face, int32_t sheetHeight) {
  if (sheetHeight <= 0) return 0;
  return face == kThreeRowFace ? sheetHeight / 3 : sheetHeight / 2;
}

int32_t TGlyphTable::RowOf(int32_t glyph) const {
  const int32_t rows = std::clamp(RowCount, 1, kMaxGlyphRows);
  for (int32_t r = rows - 1; r > 0; --r)
    if (glyph >= RowStart[r]) return r;
  return 0;
}

TGlyphTable ScanGlyphTable(const uint8_t* pixels, int32_t width, int32_t height, int32_t pitch,
                           int32_t bytesPerPixel, int32_t face) {
  TGlyphTable table;
  table.LineHeight = SheetLineHeight(face, height);
  if (!CanScan(pixels, width, pitch, bytesPerPixel, table.LineHeight)) return table;

  // Only whole rows inside the block are scanned: a sheet that holds fewer glyphs than the
  // order would otherwise send the scan on below its last line for ever.
  const int32_t rowLimit = std::min(kMaxGlyphRows, height / table.LineHeight);
  const TColumnProbe probe(pixels, width, pitch, bytesPerPixel, table.LineHeight);
  int32_t rowTop = 0;
  int32_t x = 0;
  for (int32_t g = 0; g < kGlyphCount;) {
    table.X[g] = x;
    table.Width[g] = probe.RunLength(x, rowTop);
    x += table.Width[g] + 1;
    if (x + 1 >= width) {
      if (table.RowCount == rowLimit) {
        if (table.Width[g] == 0) table.X[g] = 0;
        break;
      }
      rowTop = table.LineHeight * table.RowCount;
      x = 0;
      table.RowStart[table.RowCount++] = table.Width[g] > 0 ? g + 1 : g;
    }
    // A blank column is not a glyph: the same glyph is looked for one column further on,
    // or at the start of the new row.
    if (table.Width[g] > 0) ++g;
  }
  return table;
}

TRect GlyphRect(const TGlyphTable& table, int32_t glyph) {
  if (glyph < 0 || glyph >= kGlyphCount) return TRect{};
  const int32_t top = table.RowOf(glyph) * table.LineHeight;
  return TRect{table.X[glyph], top, table.X[glyph] + table.Width[glyph], top + table.LineHeight};
}

TRect FixedGlyphRect(int32_t glyph) {
  if (glyph < 0 || glyph >= kGlyphCount) return TRect{};
  return TRect{kFixedCellWidth * glyph, 0, kFixedCellWidth * (glyph + 1), kFixedCellHeight};
}
