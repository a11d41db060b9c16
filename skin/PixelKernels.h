// The byte loops under the blends: sixteen channels at a time with SSE2 where
// the target has it (every x86-64), plain loops elsewhere. Every kernel gives
// exactly the integer formula it names.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace skin_kernels {

// Dispatching entry points (PixelKernels.cpp): AVX2 where the processor has
// it, else the portable versions below.
void Blend(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, int n, int ta);
void BlendWithConstant(std::uint8_t* out, const std::uint8_t* a, int pixels,
                       const std::uint16_t k[3], int wa);
void MaskBlend(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, int n);

// out[i] = (a[i] × ta + b[i] × (255 − ta) + 127) ÷ 256; out may be a or b.
inline void BlendBytes(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b, int n,
                       int ta) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i wa = _mm_set1_epi16(static_cast<short>(ta));
  const __m128i wb = _mm_set1_epi16(static_cast<short>(255 - ta));
  const __m128i half = _mm_set1_epi16(127);
  for (; i + 16 <= n; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(va, zero), wa),
                                    _mm_mullo_epi16(_mm_unpacklo_epi8(vb, zero), wb)),
                      half),
        8);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(va, zero), wa),
                                    _mm_mullo_epi16(_mm_unpackhi_epi8(vb, zero), wb)),
                      half),
        8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<std::uint8_t>((a[i] * ta + b[i] * (255 - ta) + 127) >> 8);
}

// out[i] = (k[channel of i] + a[i] × wa) ÷ 256 over whole pixels, for a
// constant colour part k (already holding its weight and the +127).
inline void BlendBytesWithConstant(std::uint8_t* out, const std::uint8_t* a, int pixels,
                                   const std::uint16_t k[3], int wa) {
  const int n = 3 * pixels;
  int i = 0;
#if defined(__SSE2__)
  // 48 bytes = 16 pixels, after which the channels repeat: six constant
  // vectors of eight lanes; chunks of 16 bytes cycle through them.
  alignas(16) std::uint16_t lanes[48];
  for (int j = 0, c = 0; j < 48; ++j, c = c == 2 ? 0 : c + 1) lanes[j] = k[c];
  __m128i kv[6];
  for (int j = 0; j < 6; ++j)
    kv[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes + 8 * j));
  const __m128i zero = _mm_setzero_si128();
  const __m128i w = _mm_set1_epi16(static_cast<short>(wa));
  for (int part = 0; i + 16 <= n; i += 16, part = part == 2 ? 0 : part + 1) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(kv[2 * part], _mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), w)), 8);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(kv[2 * part + 1], _mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), w)), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (int c = i % 3; i < n; ++i, c = c == 2 ? 0 : c + 1) {
    out[i] = static_cast<std::uint8_t>((k[c] + a[i] * wa) >> 8);
  }
}

// d[i] = s[i] + (d[i] − s[i]) × m[i] ÷ 256, the division truncating toward
// zero: worked as s ± (|d − s| × m) ÷ 256, which stays within 16 bits.
inline void MaskBlendBytes(std::uint8_t* d, const std::uint8_t* s, const std::uint8_t* m, int n) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  auto half = [](__m128i dv, __m128i sv, __m128i mv) {
    const __m128i up = _mm_cmpgt_epi16(dv, sv);  // all ones where d > s
    const __m128i distance = _mm_sub_epi16(_mm_max_epi16(dv, sv), _mm_min_epi16(dv, sv));
    const __m128i q = _mm_srli_epi16(_mm_mullo_epi16(distance, mv), 8);
    return _mm_sub_epi16(_mm_add_epi16(sv, _mm_and_si128(up, q)), _mm_andnot_si128(up, q));
  };
  for (; i + 16 <= n; i += 16) {
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i mv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + i));
    const __m128i lo =
        half(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(mv, zero));
    const __m128i hi =
        half(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(mv, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) d[i] = static_cast<std::uint8_t>(s[i] + (d[i] - s[i]) * m[i] / 256);
}

// `count` pixels of one colour: one pixel, then doubling copies.
inline void FillPixels(std::uint8_t* p, int count, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  if (count <= 0) return;
  p[0] = b;
  p[1] = g;
  p[2] = r;
  const std::size_t total = 3 * static_cast<std::size_t>(count);
  std::size_t filled = 3;
  while (filled < total) {
    const std::size_t chunk = filled < total - filled ? filled : total - filled;
    std::memcpy(p + filled, p, chunk);
    filled += chunk;
  }
}

}  // namespace skin_kernels
