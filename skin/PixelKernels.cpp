#include "skin/PixelKernels.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define SKIN_HAVE_AVX2_PATH 1
#include <immintrin.h>
#endif

namespace skin_kernels {

#if defined(SKIN_HAVE_AVX2_PATH)
namespace {

bool HasAvx2() {
  __builtin_cpu_init();  // may run before the run-time's own start-up code
  return __builtin_cpu_supports("avx2");
}
const bool kAvx2 = HasAvx2();

__attribute__((target("avx2"))) void BlendAvx2(std::uint8_t* out, const std::uint8_t* a,
                                               const std::uint8_t* b, int n, int ta) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i wa = _mm256_set1_epi16(static_cast<short>(ta));
  const __m256i wb = _mm256_set1_epi16(static_cast<short>(255 - ta));
  const __m256i half = _mm256_set1_epi16(127);
  int i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    // Unpacking and packing both work within 128-bit halves, so the byte
    // order comes back as it was.
    const __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(va, zero), wa),
                                          _mm256_mullo_epi16(_mm256_unpacklo_epi8(vb, zero), wb)),
                         half),
        8);
    const __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(va, zero), wa),
                                          _mm256_mullo_epi16(_mm256_unpackhi_epi8(vb, zero), wb)),
                         half),
        8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
  }
  BlendBytes(out + i, a + i, b + i, n - i, ta);
}

// Which channel byte j of the 96-byte period is: (j mod 3), laid out as
// the unpacked low and high lanes of the three 32-byte vectors (low lanes
// hold bytes 0-7 and 16-23 of a vector, high lanes 8-15 and 24-31).
struct TChannelLanes {
  std::uint8_t lo[3][16];
  std::uint8_t hi[3][16];
};
constexpr TChannelLanes MakeChannelLanes() {
  TChannelLanes t{};
  for (int part = 0; part < 3; ++part) {
    for (int j = 0; j < 16; ++j) {
      const int lo_byte = j < 8 ? j : 16 + (j - 8);
      const int hi_byte = j < 8 ? 8 + j : 24 + (j - 8);
      t.lo[part][j] = static_cast<std::uint8_t>((32 * part + lo_byte) % 3);
      t.hi[part][j] = static_cast<std::uint8_t>((32 * part + hi_byte) % 3);
    }
  }
  return t;
}
constexpr TChannelLanes kChannelLanes = MakeChannelLanes();

__attribute__((target("avx2"))) void BlendWithConstantAvx2(std::uint8_t* out, const std::uint8_t* a,
                                                           int pixels, const std::uint16_t k[3],
                                                           int wa) {
  __m256i kv[6];
  for (int part = 0; part < 3; ++part) {
    alignas(32) std::uint16_t lo[16], hi[16];
    for (int j = 0; j < 16; ++j) {
      lo[j] = k[kChannelLanes.lo[part][j]];
      hi[j] = k[kChannelLanes.hi[part][j]];
    }
    kv[2 * part] = _mm256_load_si256(reinterpret_cast<const __m256i*>(lo));
    kv[2 * part + 1] = _mm256_load_si256(reinterpret_cast<const __m256i*>(hi));
  }
  const __m256i zero = _mm256_setzero_si256();
  const __m256i w = _mm256_set1_epi16(static_cast<short>(wa));
  const int n = 3 * pixels;
  int i = 0;
  // Chunks of 32 bytes cycle through the three parts of the period.
  for (int part = 0; i + 32 <= n; i += 32, part = part == 2 ? 0 : part + 1) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(kv[2 * part], _mm256_mullo_epi16(_mm256_unpacklo_epi8(v, zero), w)), 8);
    const __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(kv[2 * part + 1], _mm256_mullo_epi16(_mm256_unpackhi_epi8(v, zero), w)),
        8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
  }
  for (int c = i % 3; i < n; ++i, c = c == 2 ? 0 : c + 1) {
    out[i] = static_cast<std::uint8_t>((k[c] + a[i] * wa) >> 8);
  }
}

__attribute__((target("avx2"))) inline __m256i MaskHalfAvx2(__m256i dv, __m256i sv, __m256i mv) {
  const __m256i up = _mm256_cmpgt_epi16(dv, sv);
  const __m256i distance = _mm256_sub_epi16(_mm256_max_epi16(dv, sv), _mm256_min_epi16(dv, sv));
  const __m256i q = _mm256_srli_epi16(_mm256_mullo_epi16(distance, mv), 8);
  return _mm256_sub_epi16(_mm256_add_epi16(sv, _mm256_and_si256(up, q)),
                          _mm256_andnot_si256(up, q));
}

__attribute__((target("avx2"))) void MaskBlendAvx2(std::uint8_t* d, const std::uint8_t* s,
                                                   const std::uint8_t* m, int n) {
  const __m256i zero = _mm256_setzero_si256();
  int i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
    const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
    const __m256i mv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m + i));
    const __m256i lo = MaskHalfAvx2(_mm256_unpacklo_epi8(dv, zero), _mm256_unpacklo_epi8(sv, zero),
                                    _mm256_unpacklo_epi8(mv, zero));
    const __m256i hi = MaskHalfAvx2(_mm256_unpackhi_epi8(dv, zero), _mm256_unpackhi_epi8(sv, zero),
                                    _mm256_unpackhi_epi8(mv, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_packus_epi16(lo, hi));
  }
  MaskBlendBytes(d + i, s + i, m + i, n - i);
}

}  // namespace
#endif

void Blend(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, int n, int ta) {
#if defined(SKIN_HAVE_AVX2_PATH)
  if (kAvx2) return BlendAvx2(out, a, b, n, ta);
#endif
  BlendBytes(out, a, b, n, ta);
}

void BlendWithConstant(std::uint8_t* out, const std::uint8_t* a, int pixels,
                       const std::uint16_t k[3], int wa) {
#if defined(SKIN_HAVE_AVX2_PATH)
  if (kAvx2) return BlendWithConstantAvx2(out, a, pixels, k, wa);
#endif
  BlendBytesWithConstant(out, a, pixels, k, wa);
}

void MaskBlend(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, int n) {
#if defined(SKIN_HAVE_AVX2_PATH)
  if (kAvx2) return MaskBlendAvx2(d, s, m, n);
#endif
  MaskBlendBytes(d, s, m, n);
}

}  // namespace skin_kernels
