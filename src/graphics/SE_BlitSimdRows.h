#pragma once
// Vector row kernels, written once over an operations type. Each vector unit defines
// VEKE_SIMD_TARGET (its target attribute) and its operations type, then includes this
// file; the anonymous namespace keeps the differently compiled copies apart.
//
// The operations type provides: V, kBytes, kAllLanes (MoveMask of an all-set vector),
// Load, Store, Splat16, And, Or, Xor, Add16, Sub16, MulHigh16 (unsigned), ShiftRight16<N>,
// ShiftLeft16<N>, EqualZero16, EqualZero32, MoveMask, Select(mask, ifSet, ifClear).
#include "graphics/SE_BlitRows.h"

#ifndef VEKE_SIMD_TARGET
#error "define VEKE_SIMD_TARGET before including this file"
#endif

// Helpers must melt into the row loops; left to itself the compiler may call them per step.
#define VEKE_SIMD_INLINE VEKE_SIMD_TARGET __attribute__((always_inline)) inline

namespace {

template <class Ops, typename Pixel>
VEKE_SIMD_INLINE typename Ops::V EqualZero(typename Ops::V v) {
  if constexpr (sizeof(Pixel) == 2)
    return Ops::EqualZero16(v);
  else
    return Ops::EqualZero32(v);
}

// Whole blocks of transparent pixels are skipped and wholly visible ones stored straight,
// which keeps sprites with large empty or solid areas close to a plain copy.
template <class Ops>
VEKE_SIMD_INLINE void StoreVisible(uint8_t* dst, typename Ops::V s, typename Ops::V key) {
  const uint32_t keyMask = Ops::MoveMask(key);
  if (keyMask == Ops::kAllLanes) return;
  Ops::Store(dst, keyMask == 0 ? s : Ops::Select(key, Ops::Load(dst), s));
}

template <class Ops, typename Pixel>
VEKE_SIMD_INLINE void KeyBlock(uint8_t* dst, const uint8_t* src) {
  const auto s = Ops::Load(src);
  StoreVisible<Ops>(dst, s, EqualZero<Ops, Pixel>(s));
}

// Inside an image most blocks are wholly visible; one test for two of them halves the
// bookkeeping around the copy.
template <class Ops, typename Pixel>
VEKE_SIMD_INLINE void KeyTwoBlocks(uint8_t* dst, const uint8_t* src) {
  const auto s0 = Ops::Load(src);
  const auto s1 = Ops::Load(src + Ops::kBytes);
  const auto key0 = EqualZero<Ops, Pixel>(s0);
  const auto key1 = EqualZero<Ops, Pixel>(s1);
  if (Ops::MoveMask(Ops::Or(key0, key1)) == 0) {
    Ops::Store(dst, s0);
    Ops::Store(dst + Ops::kBytes, s1);
    return;
  }
  StoreVisible<Ops>(dst, s0, key0);
  StoreVisible<Ops>(dst + Ops::kBytes, s1, key1);
}

// Pixels from the start of a row to the first block whose stores do not straddle cache
// lines (rows cut to their visible part start anywhere); less than one block.
template <class Ops, typename Pixel>
VEKE_SIMD_INLINE int32_t PixelsToAlignment(const uint8_t* dst) {
  const auto misalignment = (0 - reinterpret_cast<uintptr_t>(dst)) & (Ops::kBytes - 1);
  return static_cast<int32_t>(misalignment / sizeof(Pixel));
}

// A row is covered by one block at its start, aligned blocks, and one block flush with
// its end; they overlap, and storing the same pixels twice is harmless.
template <class Ops, typename Pixel>
VEKE_SIMD_TARGET void KeyRow(uint8_t* dst, const uint8_t* src, int32_t count) {
  constexpr int32_t step = Ops::kBytes / sizeof(Pixel);
  if (count < step) return BlitRows::KeyRowReference<Pixel>(dst, src, count);
  const int32_t lastAt = count - step;
  int32_t i = PixelsToAlignment<Ops, Pixel>(dst);
  if (i != 0) KeyBlock<Ops, Pixel>(dst, src);
  for (; i + 2 * step <= lastAt; i += 2 * step)
    KeyTwoBlocks<Ops, Pixel>(dst + i * sizeof(Pixel), src + i * sizeof(Pixel));
  for (; i < lastAt; i += step)
    KeyBlock<Ops, Pixel>(dst + i * sizeof(Pixel), src + i * sizeof(Pixel));
  KeyBlock<Ops, Pixel>(dst + lastAt * sizeof(Pixel), src + lastAt * sizeof(Pixel));
}

// ((s - d + 64) * alpha) >> 8 of one channel in every lane, moved to the channel's place.
// (t * alpha) >> 8 is the high half of t * (alpha << 8), exact because t * alpha < 2^16.
// A channel low enough for 127 << Shift to fit in a lane is worked on where it is, and the
// multiplier is scaled down to match, which saves shifting it out and back.
template <class Ops, int Shift, int Bits>
VEKE_SIMD_INLINE typename Ops::V ChannelProduct(typename Ops::V s, typename Ops::V d,
                                                int32_t alpha) {
  constexpr int kMask = (1 << Bits) - 1;
  if constexpr (Shift <= 8) {
    const auto mask = Ops::Splat16(kMask << Shift);
    const auto t =
        Ops::Sub16(Ops::Add16(Ops::And(s, mask), Ops::Splat16(64 << Shift)), Ops::And(d, mask));
    return Ops::template ShiftLeft16<Shift>(Ops::MulHigh16(t, Ops::Splat16(alpha << (8 - Shift))));
  } else {
    auto sc = Ops::template ShiftRight16<Shift>(s);
    auto dc = Ops::template ShiftRight16<Shift>(d);
    if constexpr (Shift + Bits < 16) {  // a spare top bit (5-5-5) must not leak in
      sc = Ops::And(sc, Ops::Splat16(kMask));
      dc = Ops::And(dc, Ops::Splat16(kMask));
    }
    const auto t = Ops::Sub16(Ops::Add16(sc, Ops::Splat16(64)), dc);
    return Ops::template ShiftLeft16<Shift>(Ops::MulHigh16(t, Ops::Splat16(alpha << 8)));
  }
}

// Every channel's result d + product - (alpha >> 2) lies inside its field, so the fields
// can be summed as whole pixels in wrapping 16-bit lanes: the destination with its unused
// bit cleared, plus the products, minus the (alpha >> 2) of all fields at once.
template <class Ops, class Layout>
VEKE_SIMD_INLINE typename Ops::V BlendLanes(typename Ops::V s, typename Ops::V d, int32_t alpha,
                                            typename Ops::V quarters) {
  using L = Layout;
  constexpr int kUsedBits = (1 << (L::RedShift + L::RedBits)) - 1;
  const auto base = kUsedBits == 0xFFFF ? d : Ops::And(d, Ops::Splat16(kUsedBits));
  return Ops::Add16(
      Ops::Sub16(base, quarters),
      Ops::Add16(Ops::Add16(ChannelProduct<Ops, L::RedShift, L::RedBits>(s, d, alpha),
                            ChannelProduct<Ops, L::GreenShift, L::GreenBits>(s, d, alpha)),
                 ChannelProduct<Ops, L::BlueShift, L::BlueBits>(s, d, alpha)));
}

// At alpha 128 the formula is exactly the floor of the mean of s and d in every channel:
// d + ((s - d + 64) >> 1) - 32 = (s + d) >> 1. Common enough (half-transparent images) to
// deserve the short form: the shared bits plus half of the differing ones, with each
// field's lowest bit kept from moving into the field below.
template <class Ops, class Layout>
VEKE_SIMD_INLINE typename Ops::V MeanLanes(typename Ops::V s, typename Ops::V d) {
  using L = Layout;
  constexpr int kUsedBits = (1 << (L::RedShift + L::RedBits)) - 1;
  constexpr int kLowBits = (1 << L::RedShift) | (1 << L::GreenShift) | (1 << L::BlueShift);
  auto shared = Ops::And(s, d);
  if constexpr (kUsedBits != 0xFFFF) shared = Ops::And(shared, Ops::Splat16(kUsedBits));
  const auto halfDiffering =
      Ops::template ShiftRight16<1>(Ops::And(Ops::Xor(s, d), Ops::Splat16(kUsedBits & ~kLowBits)));
  return Ops::Add16(shared, halfDiffering);
}

// One block's result; false when every pixel of it is transparent (nothing to store).
template <class Ops, class Layout, bool Keyed, bool Mean>
VEKE_SIMD_INLINE bool BlendBlock(const uint8_t* dst, const uint8_t* src, int32_t alpha,
                                 typename Ops::V quarters, typename Ops::V& result) {
  const auto s = Ops::Load(src);
  const auto d = Ops::Load(dst);
  result = Mean ? MeanLanes<Ops, Layout>(s, d) : BlendLanes<Ops, Layout>(s, d, alpha, quarters);
  if constexpr (Keyed) {
    const auto key = Ops::EqualZero16(s);
    if (Ops::MoveMask(key) == Ops::kAllLanes) return false;
    result = Ops::Select(key, d, result);
  }
  return true;
}

// Covered like a keyed row, but blending a pixel twice would change it: the blocks at the
// row's start and end are computed from the untouched destination first and stored last,
// over what the aligned blocks wrote there (the same values).
template <class Ops, class Layout, bool Keyed, bool Mean>
VEKE_SIMD_INLINE void BlendLoop(uint8_t* dst, const uint8_t* src, int32_t count, int32_t alpha) {
  constexpr int32_t step = Ops::kBytes / 2;
  if (count < step) return BlitRows::BlendRowReference<Layout, Keyed>(dst, src, count, alpha);
  const int32_t quarter = alpha >> 2;
  // Summed, not or-ed: from alpha 128 on, a quarter is wider than the field it sits in.
  const auto quarters =
      Ops::Splat16((quarter << Layout::RedShift) + (quarter << Layout::GreenShift) +
                   (quarter << Layout::BlueShift));
  const int32_t lastAt = count - step;
  typename Ops::V first, last, block;
  const bool storeFirst = BlendBlock<Ops, Layout, Keyed, Mean>(dst, src, alpha, quarters, first);
  const bool storeLast = BlendBlock<Ops, Layout, Keyed, Mean>(dst + lastAt * 2, src + lastAt * 2,
                                                              alpha, quarters, last);
  for (int32_t i = PixelsToAlignment<Ops, uint16_t>(dst); i < lastAt; i += step)
    if (BlendBlock<Ops, Layout, Keyed, Mean>(dst + i * 2, src + i * 2, alpha, quarters, block))
      Ops::Store(dst + i * 2, block);
  if (storeFirst) Ops::Store(dst, first);
  if (storeLast) Ops::Store(dst + lastAt * 2, last);
}

template <class Ops, class Layout, bool Keyed>
VEKE_SIMD_TARGET void BlendRow(uint8_t* dst, const uint8_t* src, int32_t count, int32_t alpha) {
  if (alpha == 128)
    BlendLoop<Ops, Layout, Keyed, true>(dst, src, count, alpha);
  else
    BlendLoop<Ops, Layout, Keyed, false>(dst, src, count, alpha);
}

template <class Ops>
constexpr BlitRows::TRowKernels MakeRowKernels() {
  return {KeyRow<Ops, uint16_t>,
          KeyRow<Ops, uint32_t>,
          BlendRow<Ops, BlitRows::T555, false>,
          BlendRow<Ops, BlitRows::T555, true>,
          BlendRow<Ops, BlitRows::T565, false>,
          BlendRow<Ops, BlitRows::T565, true>};
}

}  // namespace
