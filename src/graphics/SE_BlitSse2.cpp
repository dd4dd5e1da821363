// SSE2 rows: eight 16-bit pixels per step. Every x86-64 processor has them.
#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>

#define VEKE_SIMD_TARGET __attribute__((target("sse2")))
#include "graphics/SE_BlitSimdRows.h"

namespace {

struct TSse2 {
  using V = __m128i;
  static constexpr int32_t kBytes = 16;
  static constexpr uint32_t kAllLanes = 0xFFFF;

  VEKE_SIMD_INLINE static V Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const V*>(p));
  }
  VEKE_SIMD_INLINE static void Store(uint8_t* p, V v) {
    _mm_storeu_si128(reinterpret_cast<V*>(p), v);
  }
  VEKE_SIMD_INLINE static V Splat16(int v) { return _mm_set1_epi16(static_cast<short>(v)); }
  VEKE_SIMD_INLINE static V And(V a, V b) { return _mm_and_si128(a, b); }
  VEKE_SIMD_INLINE static V Or(V a, V b) { return _mm_or_si128(a, b); }
  VEKE_SIMD_INLINE static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  VEKE_SIMD_INLINE static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
  VEKE_SIMD_INLINE static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
  VEKE_SIMD_INLINE static V MulHigh16(V a, V b) { return _mm_mulhi_epu16(a, b); }
  template <int N>
  VEKE_SIMD_INLINE static V ShiftRight16(V v) {
    return _mm_srli_epi16(v, N);
  }
  template <int N>
  VEKE_SIMD_INLINE static V ShiftLeft16(V v) {
    return _mm_slli_epi16(v, N);
  }
  VEKE_SIMD_INLINE static V EqualZero16(V v) { return _mm_cmpeq_epi16(v, _mm_setzero_si128()); }
  VEKE_SIMD_INLINE static V EqualZero32(V v) { return _mm_cmpeq_epi32(v, _mm_setzero_si128()); }
  VEKE_SIMD_INLINE static uint32_t MoveMask(V v) {
    return static_cast<uint32_t>(_mm_movemask_epi8(v));
  }
  VEKE_SIMD_INLINE static V Select(V mask, V ifSet, V ifClear) {
    return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
  }
};

}  // namespace

const BlitRows::TRowKernels BlitRows::Sse2Rows = MakeRowKernels<TSse2>();
#endif
