#include "graphics/SE_Blit.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>

#include "graphics/SE_BlitRows.h"

using namespace BlitRows;

const TRowKernels BlitRows::ReferenceRows = {
    KeyRowReference<uint16_t>,     KeyRowReference<uint32_t>,      BlendRowReference<T555, false>,
    BlendRowReference<T555, true>, BlendRowReference<T565, false>, BlendRowReference<T565, true>,
};

namespace {

// Copies of the short runs of outlines, inline: a call of the library copy costs as much as
// such a run takes (whole rows of bordered pictures are long enough for the library's). Sixteen
// bytes at a time, the last block overlapping the one before, as source and destination never
// overlap each other. Left to itself the compiler makes a call of it again.
[[gnu::always_inline]] inline void CopyRun(uint8_t* dst, const uint8_t* src, size_t bytes) {
  const auto block = [&](size_t size, size_t at) { std::memcpy(dst + at, src + at, size); };
  if (bytes >= 128) {
    std::memcpy(dst, src, bytes);
  } else if (bytes >= 16) {
    for (size_t at = 0; at + 16 < bytes; at += 16) block(16, at);
    block(16, bytes - 16);
  } else if (bytes >= 8) {
    block(8, 0), block(8, bytes - 8);
  } else if (bytes >= 4) {
    block(4, 0), block(4, bytes - 4);
  } else if (bytes >= 2) {
    block(2, 0), block(2, bytes - 2);
  } else if (bytes == 1) {
    *dst = *src;
  }
}

// ---- Variant choice --------------------------------------------------------------------

const TRowKernels& RowsOf(TBlitVariant variant) {
#if defined(__x86_64__) || defined(__i386__)
  if (variant == TBlitVariant::Avx2) return Avx2Rows;
  if (variant == TBlitVariant::Sse2) return Sse2Rows;
#else
  (void)variant;
#endif
  return ReferenceRows;
}

TBlitVariant BestVariant() {
  for (auto v : {TBlitVariant::Avx2, TBlitVariant::Sse2})
    if (BlitVariantSupported(v)) return v;
  return TBlitVariant::Reference;
}

TBlitVariant& Active() {
  static TBlitVariant active = BestVariant();
  return active;
}

const TRowKernels& ActiveRows() { return RowsOf(Active()); }

// ---- Where a blit reads and writes -----------------------------------------------------

// Inclusive rectangle of target pixels that may be written.
struct TBounds {
  int64_t Left, Top, Right, Bottom;
};

// A copy of Columns x Rows pixels from (SourceX, SourceY) of the block to (DestX, DestY).
struct TArea {
  int64_t SourceX, SourceY, DestX, DestY, Columns, Rows;
};

TBounds TargetBounds(const TSurfaceDesc& target) {
  return {0, 0, int64_t{target.Width} - 1, int64_t{target.Height} - 1};
}

TBounds ClipBounds(const TBlitSprite& sprite, const TSurfaceDesc& target) {
  const TBounds t = TargetBounds(target);
  return {std::max<int64_t>(sprite.ClipLeft, t.Left), std::max<int64_t>(sprite.ClipTop, t.Top),
          std::min<int64_t>(sprite.ClipRight, t.Right),
          std::min<int64_t>(sprite.ClipBottom, t.Bottom)};
}

// Cuts one axis of an area to [0, sourceSize) of the block and [low, high] of the target.
bool TrimAxis(int64_t& source, int64_t& dest, int64_t& length, int64_t sourceSize, int64_t low,
              int64_t high) {
  const int64_t cut = std::max({int64_t{0}, -source, low - dest});
  source += cut;
  dest += cut;
  length = std::min({length - cut, sourceSize - source, high + 1 - dest});
  return length > 0;
}

bool Trim(TArea& area, const TBlitSprite& sprite, const TSurfaceDesc& target,
          const TBounds& bounds) {
  if (sprite.Pixels == nullptr || target.Pixels == nullptr) return false;
  return TrimAxis(area.SourceX, area.DestX, area.Columns, sprite.Width, bounds.Left,
                  bounds.Right) &&
         TrimAxis(area.SourceY, area.DestY, area.Rows, sprite.Height, bounds.Top, bounds.Bottom);
}

TArea WholeImage(const TBlitSprite& sprite) {
  return {0, 0, sprite.X, sprite.Y, sprite.Width, sprite.Height};
}

// Spans that do not fit the block are not trusted; the whole rows are drawn instead.
const TVisibleSpans* SpansOf(const TBlitSprite& sprite) {
  const TVisibleSpans* spans = sprite.Spans;
  return spans != nullptr && spans->Rows.size() == static_cast<size_t>(sprite.Height) ? spans
                                                                                      : nullptr;
}

// Clips, then hands each row to `row(dest, source, columns)`; with spans, only the row's
// visible part. JoinRows: when the rows lie back to back in both block and target (a
// full-screen background), they go as one long row.
template <bool JoinRows = false, typename RowFn>
void DrawArea(TArea area, const TBlitSprite& sprite, TSurfaceDesc& target, const TBounds& bounds,
              int32_t bytesPerPixel, const TVisibleSpans* spans, RowFn row) {
  if (!Trim(area, sprite, target, bounds)) return;
  const std::ptrdiff_t stride = std::ptrdiff_t{sprite.Width} * bytesPerPixel;
  const uint8_t* src = sprite.Pixels + area.SourceY * stride + area.SourceX * bytesPerPixel;
  uint8_t* dst = target.Pixels + area.DestY * target.Pitch + area.DestX * bytesPerPixel;
  if (JoinRows && area.Columns * bytesPerPixel == stride && stride == target.Pitch &&
      area.Columns * area.Rows <= INT32_MAX)
    return row(dst, src, static_cast<int32_t>(area.Columns * area.Rows));
  const std::ptrdiff_t pitch = target.Pitch;
  if (spans == nullptr) {
    for (int64_t y = 0; y < area.Rows; ++y, src += stride, dst += pitch)
      row(dst, src, static_cast<int32_t>(area.Columns));
    return;
  }
  // Spans are kept in source columns; the clipped area starts SourceX columns in.
  const auto columns = static_cast<int32_t>(area.Columns);
  const auto sourceX = static_cast<int32_t>(area.SourceX);
  const TVisibleSpans::TSpan* span = spans->Rows.data() + area.SourceY;
  for (int64_t y = 0; y < area.Rows; ++y, ++span, src += stride, dst += pitch) {
    const int32_t first = std::max(0, span->First - sourceX);
    const int32_t end = std::min(columns, span->End - sourceX);
    if (first < end)
      row(dst + std::ptrdiff_t{first} * bytesPerPixel, src + std::ptrdiff_t{first} * bytesPerPixel,
          end - first);
  }
}

// A keyed copy of a trimmed area through the spans: rows without holes and the runs of
// outlines are copied as they are, which is what makes bordered pictures and rings cheap;
// other rows go through the keyed row. FromPacked: the pixels come from spans.Packed instead
// of the block. Clipped: the area leaves out columns of the block (else every row is drawn
// whole, the usual case, and needs no cutting). The pixel size is a constant here: the loop
// runs once a row and once a run, and both are short in outlines.
template <int32_t BytesPerPixel, bool FromPacked, bool Clipped>
void CopyVisible(const TArea& area, const TBlitSprite& sprite, TSurfaceDesc& target,
                 const TVisibleSpans& spans, TKeyRow keyRow) {
  const auto bytes = [](int32_t pixels) { return std::ptrdiff_t{pixels} * BytesPerPixel; };
  const std::ptrdiff_t stride = bytes(sprite.Width), pitch = target.Pitch;
  // Columns are the block's; the target's row starts where column sourceX lands.
  const auto columns = static_cast<int32_t>(area.Columns);
  const auto sourceX = Clipped ? static_cast<int32_t>(area.SourceX) : 0;
  const uint8_t* blockRow = sprite.Pixels + area.SourceY * stride;
  uint8_t* dst = target.Pixels + area.DestY * pitch + area.DestX * BytesPerPixel;
  const TVisibleSpans::TSpan* span = spans.Rows.data() + area.SourceY;
  for (int64_t y = 0; y < area.Rows; ++y, ++span, blockRow += stride, dst += pitch) {
    const int32_t first = Clipped ? std::max(0, span->First - sourceX) : span->First;
    const int32_t end = Clipped ? std::min(columns, span->End - sourceX) : span->End;
    if (first >= end) continue;
    // Block column span->First of this row.
    const uint8_t* from =
        FromPacked ? spans.Packed.data() + span->PackedAt : blockRow + bytes(span->First);
    if (span->RunBegin == span->RunEnd) {
      from += bytes(first + sourceX - span->First);
      // Without the hint the copy of solid rows is moved out of the loop, behind two jumps.
      if (span->Solid) [[likely]]
        std::memcpy(dst + bytes(first), from, static_cast<size_t>(bytes(end - first)));
      else
        keyRow(dst + bytes(first), from, end - first);
      continue;
    }
    // Packed runs lie one after another; in the block each lies at its own columns.
    for (const TVisibleSpans::TRun *run = spans.Runs.data() + span->RunBegin,
                                   *last = spans.Runs.data() + span->RunEnd;
         run != last; ++run) {
      const uint8_t* at = FromPacked ? from : blockRow + bytes(run->First);
      if (FromPacked) from += bytes(run->End - run->First);
      const int32_t left = Clipped ? std::max(first, run->First - sourceX) : run->First;
      const int32_t right = Clipped ? std::min(end, run->End - sourceX) : run->End;
      if (!Clipped || left < right)
        CopyRun(dst + bytes(left), at + bytes(left + sourceX - run->First),
                static_cast<size_t>(bytes(right - left)));
    }
  }
}

// 24-bit pixels are keyed on all three bytes together.
void KeyRow24(uint8_t* dst, const uint8_t* src, int32_t count) {
  for (int32_t i = 0; i < count; ++i, src += 3, dst += 3)
    if ((src[0] | src[1] | src[2]) != 0) std::memcpy(dst, src, 3);
}

TKeyRow KeyRowFor(int32_t bytesPerPixel) {
  switch (bytesPerPixel) {
    case 2:
      return ActiveRows().KeyRow16;
    case 3:
      return KeyRow24;
    default:
      return ActiveRows().KeyRow32;
  }
}

template <int32_t BytesPerPixel>
void CopyVisibleOf(TArea area, const TBlitSprite& sprite, TSurfaceDesc& target,
                   const TBounds& bounds, const TVisibleSpans& spans, TKeyRow keyRow) {
  if (!Trim(area, sprite, target, bounds)) return;
  const bool clipped = area.SourceX != 0 || area.Columns != sprite.Width;
  if (spans.Packed.empty())
    (clipped ? CopyVisible<BytesPerPixel, false, true>
             : CopyVisible<BytesPerPixel, false, false>)(area, sprite, target, spans, keyRow);
  else
    (clipped ? CopyVisible<BytesPerPixel, true, true>
             : CopyVisible<BytesPerPixel, true, false>)(area, sprite, target, spans, keyRow);
}

// Keyed copies of the area, through the spans when the sprite has them.
void DrawKeyedArea(const TArea& area, const TBlitSprite& sprite, TSurfaceDesc& target,
                   const TBounds& bounds, int32_t bytesPerPixel) {
  const TKeyRow keyRow = KeyRowFor(bytesPerPixel);
  const TVisibleSpans* spans = SpansOf(sprite);
  if (spans == nullptr)
    return DrawArea(area, sprite, target, bounds, bytesPerPixel, nullptr, keyRow);
  switch (bytesPerPixel) {
    case 2:
      return CopyVisibleOf<2>(area, sprite, target, bounds, *spans, keyRow);
    case 3:
      return CopyVisibleOf<3>(area, sprite, target, bounds, *spans, keyRow);
    default:
      return CopyVisibleOf<4>(area, sprite, target, bounds, *spans, keyRow);
  }
}

void DrawKeyed(const TBlitSprite& sprite, TSurfaceDesc& target, const TBounds& bounds,
               int32_t bytesPerPixel) {
  DrawKeyedArea(WholeImage(sprite), sprite, target, bounds, bytesPerPixel);
}

void DrawOpaque(const TBlitSprite& sprite, TSurfaceDesc& target, const TBounds& bounds,
                int32_t bytesPerPixel) {
  DrawArea<true>(WholeImage(sprite), sprite, target, bounds, bytesPerPixel, nullptr,
                 [bytesPerPixel](uint8_t* dst, const uint8_t* src, int32_t count) {
                   std::memcpy(dst, src, static_cast<size_t>(count) * bytesPerPixel);
                 });
}

void KeyRect(const TBlitSprite& sprite, const TKeyRect& rect, TSurfaceDesc& target,
             int32_t bytesPerPixel) {
  const TArea area{rect.SourceLeft, rect.SourceTop, rect.DestX,
                   rect.DestY,      rect.Columns,   rect.Rows};
  DrawKeyedArea(area, sprite, target, TargetBounds(target), bytesPerPixel);
}

// ---- Blends ----------------------------------------------------------------------------

bool BlendableAlpha(int32_t alpha) { return alpha >= 1 && alpha <= 255; }

// Only a per-pixel key may use the spans: a pair key blends a 0 pixel beside a visible one.
void Blend(const TBlitSprite& sprite, TSurfaceDesc& target, TBlendRow row,
           const TVisibleSpans* spans = nullptr) {
  if (!BlendableAlpha(sprite.Alpha)) return;
  DrawArea(
      WholeImage(sprite), sprite, target, TargetBounds(target), 2, spans,
      [&](uint8_t* dst, const uint8_t* src, int32_t count) { row(dst, src, count, sprite.Alpha); });
}

// Both pixels of a 32-bit pair at once, per channel field. Each half's s - d + 64 is
// positive and its product with alpha stays below 2^16, so the low half neither borrows
// from nor carries into the high one; what the shift drags down from the high product
// lands above the field and the mask removes it.
template <int Shift, int Bits>
uint32_t BlendPairField(uint32_t s, uint32_t d, uint32_t alpha) {
  constexpr uint32_t mask = ((1u << Bits) - 1) * 0x00010001u;
  const uint32_t sc = (s >> Shift) & mask;
  const uint32_t dc = (d >> Shift) & mask;
  const uint32_t quarter = (alpha >> 2) * 0x00010001u;
  return (((((sc + 0x00400040u - dc) * alpha) >> 8) + dc - quarter) & mask) << Shift;
}

template <class Layout>
uint32_t BlendPair(uint32_t s, uint32_t d, uint32_t alpha) {
  return BlendPairField<Layout::RedShift, Layout::RedBits>(s, d, alpha) |
         BlendPairField<Layout::GreenShift, Layout::GreenBits>(s, d, alpha) |
         BlendPairField<Layout::BlueShift, Layout::BlueBits>(s, d, alpha);
}

// The key looks at the pair as a whole: a lone 0 pixel beside a visible one is blended as
// black. A last odd pixel is a pair with a 0 partner that is never written.
template <class Layout, bool Keyed>
void BlendPairRow(uint8_t* dst, const uint8_t* src, int32_t count, int32_t alpha) {
  const auto a = static_cast<uint32_t>(alpha);
  int32_t i = 0;
  for (; i + 2 <= count; i += 2, src += 4, dst += 4) {
    const auto s = LoadPixel<uint32_t>(src);
    if (Keyed && s == 0) continue;
    StorePixel(dst, BlendPair<Layout>(s, LoadPixel<uint32_t>(dst), a));
  }
  if (i == count) return;
  const uint32_t s = LoadPixel<uint16_t>(src);
  if (Keyed && s == 0) return;
  StorePixel(dst, static_cast<uint16_t>(BlendPair<Layout>(s, LoadPixel<uint16_t>(dst), a)));
}

}  // namespace

TVisibleSpans FindVisibleSpans(const uint8_t* pixels, int32_t width, int32_t height,
                               int32_t bytesPerPixel) {
  TVisibleSpans spans;
  spans.Rows.resize(std::max(height, 0));
  if (pixels == nullptr) return spans;
  const auto visible = [&](const uint8_t* p) {
    return std::any_of(p, p + bytesPerPixel, [](uint8_t b) { return b != 0; });
  };
  const std::ptrdiff_t stride = std::ptrdiff_t{std::max(width, 0)} * bytesPerPixel;
  std::vector<TVisibleSpans::TRun> runs;
  for (auto& span : spans.Rows) {
    runs.clear();
    int64_t shown = 0;
    for (int32_t x = 0; x < width;) {
      while (x < width && !visible(pixels + x * bytesPerPixel)) ++x;
      const int32_t first = x;
      while (x < width && visible(pixels + x * bytesPerPixel)) ++x;
      if (first == x) continue;
      runs.push_back({first, x});
      shown += x - first;
    }
    if (!runs.empty()) span = {runs.front().First, runs.back().End, runs.size() == 1};
    if (runs.size() > 1 && shown >= int64_t{kShortestCopiedRun} * int64_t(runs.size())) {
      span.RunBegin = static_cast<uint32_t>(spans.Runs.size());
      spans.Runs.insert(spans.Runs.end(), runs.begin(), runs.end());
      span.RunEnd = static_cast<uint32_t>(spans.Runs.size());
    }
    pixels += stride;
  }
  return spans;
}

namespace {

// Pixels of a row that keyed copies read: its runs, or else its whole span.
int64_t DrawnPixels(const TVisibleSpans& spans, const TVisibleSpans::TSpan& span) {
  if (span.RunBegin == span.RunEnd) return std::max(0, span.End - span.First);
  int64_t pixels = 0;
  for (uint32_t i = span.RunBegin; i < span.RunEnd; ++i)
    pixels += spans.Runs[i].End - spans.Runs[i].First;
  return pixels;
}

}  // namespace

void PackVisibleRows(TVisibleSpans& spans, const uint8_t* pixels, int32_t width,
                     int32_t bytesPerPixel, const std::string& name) {
  if (pixels == nullptr || width <= 0) return;
  int64_t drawn = 0;
  for (const auto& span : spans.Rows) drawn += DrawnPixels(spans, span);
  const int64_t size = drawn * bytesPerPixel;
  const int64_t blockPixels = int64_t{width} * static_cast<int64_t>(spans.Rows.size());
  // Offsets into the packed pixels are 32-bit; pictures that large keep reading the block.
  if (drawn == 0 || drawn * 4 > blockPixels * 3 || size > int64_t{UINT32_MAX}) return;
  try {
    spans.PackedCharge = TMemoryCharge(static_cast<uint64_t>(size), name);
  } catch (const TMemoryBudgetError&) {
    return;  // the pixels the presentation declares come first
  }
  spans.Packed.resize(static_cast<size_t>(size));
  uint8_t* out = spans.Packed.data();
  const auto copy = [&](const uint8_t* row, int32_t first, int32_t end) {
    const auto length = static_cast<size_t>(end - first) * bytesPerPixel;
    std::memcpy(out, row + std::ptrdiff_t{first} * bytesPerPixel, length);
    out += length;
  };
  const std::ptrdiff_t stride = std::ptrdiff_t{width} * bytesPerPixel;
  for (auto& span : spans.Rows) {
    span.PackedAt = static_cast<uint32_t>(out - spans.Packed.data());
    if (span.RunBegin == span.RunEnd && span.First < span.End) copy(pixels, span.First, span.End);
    for (uint32_t i = span.RunBegin; i < span.RunEnd; ++i)
      copy(pixels, spans.Runs[i].First, spans.Runs[i].End);
    pixels += stride;
  }
}

bool BlitVariantSupported(TBlitVariant variant) {
  switch (variant) {
#if defined(__x86_64__) || defined(__i386__)
    case TBlitVariant::Avx2:
      return __builtin_cpu_supports("avx2");
    case TBlitVariant::Sse2:
      return __builtin_cpu_supports("sse2");
#endif
    case TBlitVariant::Reference:
      return true;
    default:
      return false;
  }
}

bool ForceBlitVariant(TBlitVariant variant) {
  if (!BlitVariantSupported(variant)) return false;
  Active() = variant;
  return true;
}

TBlitVariant ActiveBlitVariant() { return Active(); }

void BlitKey16(const TBlitSprite& s, TSurfaceDesc& t) { DrawKeyed(s, t, TargetBounds(t), 2); }
void BlitKey24(const TBlitSprite& s, TSurfaceDesc& t) { DrawKeyed(s, t, TargetBounds(t), 3); }
void BlitKey32(const TBlitSprite& s, TSurfaceDesc& t) { DrawKeyed(s, t, TargetBounds(t), 4); }

void BlitKeyClip16(const TBlitSprite& s, TSurfaceDesc& t) { DrawKeyed(s, t, ClipBounds(s, t), 2); }
void BlitKeyClip24(const TBlitSprite& s, TSurfaceDesc& t) { DrawKeyed(s, t, ClipBounds(s, t), 3); }
void BlitKeyClip32(const TBlitSprite& s, TSurfaceDesc& t) { DrawKeyed(s, t, ClipBounds(s, t), 4); }

void BlitCopy16(const TBlitSprite& s, TSurfaceDesc& t) { DrawOpaque(s, t, TargetBounds(t), 2); }
void BlitCopy24(const TBlitSprite& s, TSurfaceDesc& t) { DrawOpaque(s, t, TargetBounds(t), 3); }
void BlitCopy32(const TBlitSprite& s, TSurfaceDesc& t) { DrawOpaque(s, t, TargetBounds(t), 4); }

void BlitCopyClip16(const TBlitSprite& s, TSurfaceDesc& t) {
  DrawOpaque(s, t, ClipBounds(s, t), 2);
}
void BlitCopyClip24(const TBlitSprite& s, TSurfaceDesc& t) {
  DrawOpaque(s, t, ClipBounds(s, t), 3);
}
void BlitCopyClip32(const TBlitSprite& s, TSurfaceDesc& t) {
  DrawOpaque(s, t, ClipBounds(s, t), 4);
}

void BlitKeyRect16(const TBlitSprite& s, const TKeyRect& r, TSurfaceDesc& t) {
  KeyRect(s, r, t, 2);
}
void BlitKeyRect24(const TBlitSprite& s, const TKeyRect& r, TSurfaceDesc& t) {
  KeyRect(s, r, t, 3);
}
void BlitKeyRect32(const TBlitSprite& s, const TKeyRect& r, TSurfaceDesc& t) {
  KeyRect(s, r, t, 4);
}

void Blend555(const TBlitSprite& s, TSurfaceDesc& t) { Blend(s, t, BlendPairRow<T555, false>); }
void BlendKey555(const TBlitSprite& s, TSurfaceDesc& t) { Blend(s, t, BlendPairRow<T555, true>); }
void Blend565(const TBlitSprite& s, TSurfaceDesc& t) { Blend(s, t, BlendPairRow<T565, false>); }
void BlendKey565(const TBlitSprite& s, TSurfaceDesc& t) { Blend(s, t, BlendPairRow<T565, true>); }

void BlendPacked555(const TBlitSprite& s, TSurfaceDesc& t) { Blend(s, t, ActiveRows().Blend555); }
void BlendPackedKey555(const TBlitSprite& s, TSurfaceDesc& t) {
  Blend(s, t, ActiveRows().BlendKey555, SpansOf(s));
}
void BlendPacked565(const TBlitSprite& s, TSurfaceDesc& t) { Blend(s, t, ActiveRows().Blend565); }
void BlendPackedKey565(const TBlitSprite& s, TSurfaceDesc& t) {
  Blend(s, t, ActiveRows().BlendKey565, SpansOf(s));
}
