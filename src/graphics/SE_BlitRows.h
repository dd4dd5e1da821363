#pragma once
// Row kernels behind the blitters: the scalar formulas that define every result, and the
// table through which the vector variants are reached. Internal to the blitters.
#include <cstdint>
#include <cstring>

namespace BlitRows {

// Field positions of the two 16-bit layouts.
struct T565 {
  static constexpr int RedShift = 11, RedBits = 5;
  static constexpr int GreenShift = 5, GreenBits = 6;
  static constexpr int BlueShift = 0, BlueBits = 5;
};
struct T555 {
  static constexpr int RedShift = 10, RedBits = 5;
  static constexpr int GreenShift = 5, GreenBits = 5;
  static constexpr int BlueShift = 0, BlueBits = 5;
};

// Rows may sit at any address (odd pitches, blocks straight from files).
template <typename Pixel>
inline Pixel LoadPixel(const uint8_t* p) {
  Pixel v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename Pixel>
inline void StorePixel(uint8_t* p, Pixel v) {
  std::memcpy(p, &v, sizeof v);
}

// The bias 64 keeps s - d + 64 positive, so the product is a plain unsigned one, and
// a >> 2 == (64 * a) >> 8 takes it back out. The result lies between s and d.
inline uint32_t BlendChannel(uint32_t s, uint32_t d, uint32_t alpha) {
  return d + (((s + 64 - d) * alpha) >> 8) - (alpha >> 2);
}

template <int Shift, int Bits>
inline uint32_t BlendField(uint32_t s, uint32_t d, uint32_t alpha) {
  constexpr uint32_t mask = (1u << Bits) - 1;
  return BlendChannel((s >> Shift) & mask, (d >> Shift) & mask, alpha) << Shift;
}

template <class Layout>
inline uint16_t BlendPixel(uint16_t s, uint16_t d, int32_t alpha) {
  const auto a = static_cast<uint32_t>(alpha);
  return static_cast<uint16_t>(BlendField<Layout::RedShift, Layout::RedBits>(s, d, a) |
                               BlendField<Layout::GreenShift, Layout::GreenBits>(s, d, a) |
                               BlendField<Layout::BlueShift, Layout::BlueBits>(s, d, a));
}

// Per-pixel key: a 0 source pixel leaves the destination as it is.
template <class Layout, bool Keyed>
void BlendRowReference(uint8_t* dst, const uint8_t* src, int32_t count, int32_t alpha) {
  for (int32_t i = 0; i < count; ++i, src += 2, dst += 2) {
    const auto s = LoadPixel<uint16_t>(src);
    if (Keyed && s == 0) continue;
    StorePixel(dst, BlendPixel<Layout>(s, LoadPixel<uint16_t>(dst), alpha));
  }
}

template <typename Pixel>
void KeyRowReference(uint8_t* dst, const uint8_t* src, int32_t count) {
  for (int32_t i = 0; i < count; ++i, src += sizeof(Pixel), dst += sizeof(Pixel)) {
    const auto s = LoadPixel<Pixel>(src);
    if (s != 0) StorePixel(dst, s);
  }
}

using TKeyRow = void (*)(uint8_t* dst, const uint8_t* src, int32_t count);
using TBlendRow = void (*)(uint8_t* dst, const uint8_t* src, int32_t count, int32_t alpha);

// One instruction set's implementation of the rows that benefit from vectors.
struct TRowKernels {
  TKeyRow KeyRow16;
  TKeyRow KeyRow32;
  TBlendRow Blend555;
  TBlendRow BlendKey555;
  TBlendRow Blend565;
  TBlendRow BlendKey565;
};

extern const TRowKernels ReferenceRows;
#if defined(__x86_64__) || defined(__i386__)
extern const TRowKernels Sse2Rows;
extern const TRowKernels Avx2Rows;
#endif

}  // namespace BlitRows
