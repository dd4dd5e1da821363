#pragma once
// Software blitters of memory mode: they draw a sprite's pixel block into a surface
// (callers pass DrawTarget). Pixel value 0 is the colour key in every format.
//
// Every blitter stays inside the pixel block and the target whatever it is given: the
// unclipped ones expect the whole image inside and only guard the target's edges.
#include <cstdint>
#include <string>
#include <vector>

#include "base/SE_MemoryBudget.h"
#include "graphics/SE_Globals.h"

// Per row of a pixel block, the columns from its first to its last visible (non-0) pixel.
// Keyed drawing skips the rest of the row without reading it, which is where images with
// wide transparent borders spend most of their time. Built once per block; whoever changes
// the block builds it again.
struct TVisibleSpans {
  struct TRun {
    int32_t First = 0, End = 0;  // [First, End) of the row, every pixel visible
  };
  struct TSpan {
    int32_t First = 0, End = 0;  // [First, End); empty for a fully transparent row
    bool Solid = false;          // no transparent pixel inside: keyed copies copy it whole
    // A row of a few long visible runs between holes (an outline, a ring, a frame): keyed
    // copies copy its runs, Runs[RunBegin, RunEnd), as they are. Empty for other rows.
    uint32_t RunBegin = 0, RunEnd = 0;
    // Where the row's pixels start in Packed: its runs one after another, or else its span.
    uint32_t PackedAt = 0;
  };
  std::vector<TSpan> Rows;
  std::vector<TRun> Runs;
  // The pixels keyed copies read, back to back, when PackVisibleRows made them: a copy then
  // reads only cache lines it draws from, where the block's rows would drag in their borders
  // and holes too. Empty: keyed copies read the block.
  std::vector<uint8_t> Packed;
  TMemoryCharge PackedCharge;
};

// Runs shorter than this on average are left to the keyed row, which is cheaper then.
constexpr int32_t kShortestCopiedRun = 8;

TVisibleSpans FindVisibleSpans(const uint8_t* pixels, int32_t width, int32_t height,
                               int32_t bytesPerPixel);

// Fills spans.Packed from the block the spans were found in, when that leaves out at least a
// quarter of the block's bytes and the memory budget has room for them, charged under
// `name`. Otherwise keyed copies go on reading the block; they draw the same either way.
void PackVisibleRows(TVisibleSpans& spans, const uint8_t* pixels, int32_t width,
                     int32_t bytesPerPixel, const std::string& name);

// What a blitter needs of a sprite. Pixels is the packed block, Width x Height pixels.
// ClipRight and ClipBottom are the last writable column and row (inclusive). Spans, when
// given, must describe Pixels; the keyed copies and the packed keyed blends then use them.
struct TBlitSprite {
  const uint8_t* Pixels = nullptr;
  int32_t Width = 0, Height = 0;
  int32_t X = 0, Y = 0;
  int32_t Alpha = 255;
  int32_t ClipLeft = 0, ClipTop = 0, ClipRight = 0, ClipBottom = 0;
  const TVisibleSpans* Spans = nullptr;
};

// An already clipped keyed copy: Columns x Rows pixels from (SourceLeft, SourceTop) of the
// block to (DestX, DestY) of the target.
struct TKeyRect {
  int32_t SourceLeft = 0, SourceTop = 0, Columns = 0, Rows = 0;
  int32_t DestX = 0, DestY = 0;
};

// Keyed copies of the whole image, no clip rectangle.
void BlitKey16(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitKey24(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitKey32(const TBlitSprite& sprite, TSurfaceDesc& target);
// Keyed copies of the part inside the clip rectangle.
void BlitKeyClip16(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitKeyClip24(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitKeyClip32(const TBlitSprite& sprite, TSurfaceDesc& target);
// Opaque copies of the whole image, no clip rectangle.
void BlitCopy16(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitCopy24(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitCopy32(const TBlitSprite& sprite, TSurfaceDesc& target);
// Opaque copies of the part inside the clip rectangle.
void BlitCopyClip16(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitCopyClip24(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlitCopyClip32(const TBlitSprite& sprite, TSurfaceDesc& target);
// Keyed copies of a sub-rectangle that the caller has clipped already.
void BlitKeyRect16(const TBlitSprite& sprite, const TKeyRect& rect, TSurfaceDesc& target);
void BlitKeyRect24(const TBlitSprite& sprite, const TKeyRect& rect, TSurfaceDesc& target);
void BlitKeyRect32(const TBlitSprite& sprite, const TKeyRect& rect, TSurfaceDesc& target);

// Opacity blends of the whole image with sprite.Alpha (1..255; anything else draws nothing):
// per channel d + (((s - d + 64) * A) >> 8) - (A >> 2).
// The integer blends work on pixel pairs; the keyed ones skip a pair only when both pixels
// are 0 and blend a lone 0 pixel as black. A last odd pixel pairs with an imaginary 0.
void Blend555(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlendKey555(const TBlitSprite& sprite, TSurfaceDesc& target);
void Blend565(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlendKey565(const TBlitSprite& sprite, TSurfaceDesc& target);
// The packed blends give the same values with vector instructions; their key is per pixel.
void BlendPacked555(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlendPackedKey555(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlendPacked565(const TBlitSprite& sprite, TSurfaceDesc& target);
void BlendPackedKey565(const TBlitSprite& sprite, TSurfaceDesc& target);

// Instruction sets behind the packed blends and the keyed 16/32-bit copies. The best one
// the processor has is chosen at start-up; Reference is plain C++ and always available.
enum class TBlitVariant { Reference, Sse2, Avx2 };
bool BlitVariantSupported(TBlitVariant variant);
// Returns false (and changes nothing) when the processor lacks the variant.
bool ForceBlitVariant(TBlitVariant variant);
TBlitVariant ActiveBlitVariant();

// How a sprite draws itself in memory mode: Depth is the display's (15, 16, 24, 32), Is555
// its 5-5-5 flag at depth 16, HasMMX its flag that allows the packed blends.
// The clip rectangle is also held to the target's edges.
struct TBlitDisplay {
  int32_t Depth = 16;
  bool Is555 = false;
  bool HasMMX = true;
};

// Keyed drawing with opacity; a partly clipped image is drawn opaque with its key.
void DrawTransparentMemory(const TBlitSprite& sprite, TSurfaceDesc& target,
                           const TBlitDisplay& display);
// Opaque drawing with opacity; a partly clipped image is drawn only at Alpha 255.
void DrawMemory(const TBlitSprite& sprite, TSurfaceDesc& target, const TBlitDisplay& display);
// Keyed drawing of the part `rect` of the image (right and bottom exclusive) at (X, Y),
// clipped to the clip rectangle first.
void DrawRectMemory(const TBlitSprite& sprite, const TRect& rect, TSurfaceDesc& target,
                    const TBlitDisplay& display);
