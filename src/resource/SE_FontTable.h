#pragma once
// Where the glyphs sit on a font sheet. The fixed face 0 is a strip of 7 x 13 cells; the
// proportional faces 1 to 6 are found by scanning the sheet for runs of non-empty pixel
// columns, so an author can redraw a sheet without listing positions anywhere.
#include <array>
#include <cstdint>

#include "platform/PL_Surface.h"

constexpr int32_t kGlyphCount = 96;
constexpr int32_t kMaxGlyphRows = 10;

// Face 0: glyph n is the cell (7n, 0, 7n + 7, 13) of its sheet.
constexpr int32_t kFixedFace = 0;
constexpr int32_t kFixedCellWidth = 7;
constexpr int32_t kFixedCellHeight = 13;
// The one face whose sheet holds three rows of glyphs; the others hold two.
constexpr int32_t kThreeRowFace = 6;

// The code page 1250 byte of each glyph, in sheet order.
inline constexpr std::array<uint8_t, kGlyphCount> kGlyphOrder = {
    '0', '1', '2', '3', '4', '5', '6', '7', '8', '9',                                //
    'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P',  //
    'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z',                                //
    'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p',  //
    'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z',                                //
    '.', '!', '?', ':', ',', '(', ')', '+', '-', '*', '/', '<', '>', '=',            //
    193, 201, 205, 211, 214, 213, 218, 220, 219,  // Á É Í Ó Ö Ő Ú Ü Ű
    225, 233, 237, 243, 246, 245, 250, 252, 251,  // á é í ó ö ő ú ü ű
    '%', '"'};

// The glyph of a code page 1250 byte, or -1 when the sheets have none (the space included:
// text drawing gives it a fixed advance of its own).
int32_t GlyphIndexOf(uint8_t byte);

// A proportional face's glyph positions. X is measured from the left edge of the glyph's own
// sheet row; RowStart[r] is the first glyph of row r.
struct TGlyphTable {
  std::array<int32_t, kGlyphCount> X{};
  std::array<int32_t, kGlyphCount> Width{};
  int32_t RowCount = 1;
  int32_t LineHeight = 0;
  std::array<int32_t, kMaxGlyphRows> RowStart{};

  // The highest row r < RowCount with glyph >= RowStart[r]; row 0 when there is none.
  int32_t RowOf(int32_t glyph) const;
};

// The height of one glyph row on a sheet `sheetHeight` pixels high: a third for the
// three-row face, else half.
int32_t SheetLineHeight(int32_t face, int32_t sheetHeight);

// Scans a sheet of `width` x `height` pixels of `bytesPerPixel` bytes (2, 3 or 4), rows
// `pitch` bytes apart, where a pixel is transparent only when all its bytes are zero. Glyphs
// are taken in order, each the run of non-empty columns at the scan position; a blank column
// moves the scan on by one, and it wraps to the next row once it comes within one column of
// the sheet's right edge. The scan stops at the sheet's last whole row (or after ten rows):
// glyphs it has not reached keep X = 0 and Width = 0, and no row below the sheet is listed.
// Nothing outside the block is read; a block that cannot be scanned (no pixels, a pitch
// shorter than a row, a line height of 0) gives a table of empty glyphs.
TGlyphTable ScanGlyphTable(const uint8_t* pixels, int32_t width, int32_t height, int32_t pitch,
                           int32_t bytesPerPixel, int32_t face);

// The sheet rectangle of glyph `glyph` of a proportional face: (X, top of its row,
// X + Width, bottom of its row). An empty rectangle for an index outside the glyph order.
TRect GlyphRect(const TGlyphTable& table, int32_t glyph);

// The cell of glyph `glyph` on the fixed face's sheet; empty outside the glyph order.
TRect FixedGlyphRect(int32_t glyph);
