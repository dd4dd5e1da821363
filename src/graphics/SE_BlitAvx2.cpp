// AVX2 rows: sixteen 16-bit pixels per step, used only when the processor reports AVX2.
// Only the functions carry the target attribute, so nothing else in the program can pick
// up AVX2 instructions by accident.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define VEKE_SIMD_TARGET __attribute__((target("avx2")))
#include "graphics/SE_BlitSimdRows.h"

namespace {

struct TAvx2 {
  using V = __m256i;
  static constexpr int32_t kBytes = 32;
  static constexpr uint32_t kAllLanes = 0xFFFFFFFF;

  VEKE_SIMD_INLINE static V Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
  }
  VEKE_SIMD_INLINE static void Store(uint8_t* p, V v) {
    _mm256_storeu_si256(reinterpret_cast<V*>(p), v);
  }
  VEKE_SIMD_INLINE static V Splat16(int v) { return _mm256_set1_epi16(static_cast<short>(v)); }
  VEKE_SIMD_INLINE static V And(V a, V b) { return _mm256_and_si256(a, b); }
  VEKE_SIMD_INLINE static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  VEKE_SIMD_INLINE static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  VEKE_SIMD_INLINE static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
  VEKE_SIMD_INLINE static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
  VEKE_SIMD_INLINE static V MulHigh16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
  template <int N>
  VEKE_SIMD_INLINE static V ShiftRight16(V v) {
    return _mm256_srli_epi16(v, N);
  }
  template <int N>
  VEKE_SIMD_INLINE static V ShiftLeft16(V v) {
    return _mm256_slli_epi16(v, N);
  }
  VEKE_SIMD_INLINE static V EqualZero16(V v) {
    return _mm256_cmpeq_epi16(v, _mm256_setzero_si256());
  }
  VEKE_SIMD_INLINE static V EqualZero32(V v) {
    return _mm256_cmpeq_epi32(v, _mm256_setzero_si256());
  }
  VEKE_SIMD_INLINE static uint32_t MoveMask(V v) {
    return static_cast<uint32_t>(_mm256_movemask_epi8(v));
  }
  VEKE_SIMD_INLINE static V Select(V mask, V ifSet, V ifClear) {
    return _mm256_blendv_epi8(ifClear, ifSet, mask);
  }
};

}  // namespace

const BlitRows::TRowKernels BlitRows::Avx2Rows = MakeRowKernels<TAvx2>();
#endif
