// Row kernels with SSE2 (built with -msse2). Same bytes as the plain rows: each lane does
// the plain code's operations in the plain code's order.
#include "capture/KernelRows.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <cstring>

namespace kernel_rows {
namespace {

// Four clamped doubles (two vectors) to four bytes.
void StoreFourBytes(__m128d a, __m128d b, uint8_t* out) {
  const __m128d lo = _mm_setzero_pd(), hi = _mm_set1_pd(255.0);
  a = _mm_min_pd(_mm_max_pd(a, lo), hi);
  b = _mm_min_pd(_mm_max_pd(b, lo), hi);
  __m128i v = _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
  v = _mm_packs_epi32(v, v);
  v = _mm_packus_epi16(v, v);
  const int32_t bytes = _mm_cvtsi128_si32(v);
  std::memcpy(out, &bytes, 4);
}

void FilterRowSse2(const double* ext, int count, const double* taps, uint8_t* out) {
  __m128d w[8];
  for (int t = 0; t < 8; ++t) w[t] = _mm_set1_pd(taps[t]);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128d a = _mm_mul_pd(_mm_loadu_pd(ext + i), w[0]);
    __m128d b = _mm_mul_pd(_mm_loadu_pd(ext + i + 2), w[0]);
    for (int t = 1; t < 8; ++t) {
      a = _mm_add_pd(a, _mm_mul_pd(_mm_loadu_pd(ext + i + t), w[t]));
      b = _mm_add_pd(b, _mm_mul_pd(_mm_loadu_pd(ext + i + 2 + t), w[t]));
    }
    StoreFourBytes(a, b, out + i);
  }
  FilterRowScalar(ext + i, count - i, taps, out + i);
}

// Eight columns at a time: four independent sums per phase keep the adders busy while
// each sum still adds its products one after another in tap order.
void FilterColumnsSse2(const double* const* rows, int width, const double* taps, int phases,
                       uint8_t* const* out) {
  const double* r[8];
  for (int t = 0; t < 8; ++t) r[t] = rows[t];
  int i = 0;
  for (; i + 8 <= width; i += 8) {
    for (int ph = 0; ph < phases; ++ph) {
      const double* w = taps + 8 * ph;
      __m128d wt = _mm_set1_pd(w[0]);
      __m128d a = _mm_mul_pd(_mm_loadu_pd(r[0] + i), wt);
      __m128d b = _mm_mul_pd(_mm_loadu_pd(r[0] + i + 2), wt);
      __m128d c = _mm_mul_pd(_mm_loadu_pd(r[0] + i + 4), wt);
      __m128d d = _mm_mul_pd(_mm_loadu_pd(r[0] + i + 6), wt);
#pragma GCC unroll 7
      for (int t = 1; t < 8; ++t) {
        wt = _mm_set1_pd(w[t]);
        a = _mm_add_pd(a, _mm_mul_pd(_mm_loadu_pd(r[t] + i), wt));
        b = _mm_add_pd(b, _mm_mul_pd(_mm_loadu_pd(r[t] + i + 2), wt));
        c = _mm_add_pd(c, _mm_mul_pd(_mm_loadu_pd(r[t] + i + 4), wt));
        d = _mm_add_pd(d, _mm_mul_pd(_mm_loadu_pd(r[t] + i + 6), wt));
      }
      StoreFourBytes(a, b, out[ph] + i);
      StoreFourBytes(c, d, out[ph] + i + 4);
    }
  }
  FilterColumnsScalar(rows, i, width, taps, phases, out);
}

void WidenSse2(const uint8_t* bytes, int count, double* out) {
  const __m128i zero = _mm_setzero_si128();
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    int32_t raw;
    std::memcpy(&raw, bytes + i, 4);
    const __m128i wide = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(raw), zero), zero);
    _mm_storeu_pd(out + i, _mm_cvtepi32_pd(wide));
    _mm_storeu_pd(out + i + 2, _mm_cvtepi32_pd(_mm_srli_si128(wide, 8)));
  }
  WidenScalar(bytes + i, count - i, out + i);
}

void InterleaveSse2(const uint8_t* chroma, const uint8_t* luma, int width, bool lumaFirst,
                    uint8_t* packed) {
  const uint8_t* first = lumaFirst ? luma : chroma;
  const uint8_t* second = lumaFirst ? chroma : luma;
  int i = 0;
  for (; i + 16 <= width; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + 2 * i), _mm_unpacklo_epi8(a, b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + 2 * i + 16), _mm_unpackhi_epi8(a, b));
  }
  InterleaveScalar(chroma + i, luma + i, width - i, lumaFirst, packed + 2 * i);
}

// Two pairs of the floating-point converter: y0, y1, u - 128, v - 128 as doubles in, the
// six single-precision results out, clamped, in the order B0 G0 R0 B1 G1 R1.
void FloatPairs(__m128d y0, __m128d y1, __m128d u, __m128d v, __m128 out[6]) {
  const __m128 r0 = _mm_cvtpd_ps(_mm_add_pd(y0, _mm_mul_pd(v, _mm_set1_pd(1.402))));
  const __m128 g0 = _mm_cvtpd_ps(_mm_sub_pd(_mm_sub_pd(y0, _mm_mul_pd(u, _mm_set1_pd(0.34414))),
                                            _mm_mul_pd(v, _mm_set1_pd(0.71414))));
  const __m128 b0 = _mm_cvtpd_ps(_mm_add_pd(y0, _mm_mul_pd(u, _mm_set1_pd(1.772))));
  const __m128d d = _mm_sub_pd(y1, y0);
  out[0] = b0;
  out[1] = g0;
  out[2] = r0;
  out[3] = _mm_cvtpd_ps(_mm_add_pd(d, _mm_cvtps_pd(b0)));
  out[4] = _mm_cvtpd_ps(_mm_add_pd(d, _mm_cvtps_pd(g0)));
  out[5] = _mm_cvtpd_ps(_mm_add_pd(d, _mm_cvtps_pd(r0)));
}

void Bgr24FloatSse2(const uint8_t* uyvy, int pairs, uint8_t* bgr) {
  const __m128i byteMask = _mm_set1_epi32(0xFF), k128 = _mm_set1_epi32(128);
  const __m128 lo = _mm_setzero_ps(), hi = _mm_set1_ps(255.0f);
  int k = 0;
  for (; k + 4 <= pairs; k += 4) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(uyvy + 4 * k));
    const __m128i u = _mm_sub_epi32(_mm_and_si128(w, byteMask), k128);
    const __m128i y0 = _mm_and_si128(_mm_srli_epi32(w, 8), byteMask);
    const __m128i v = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(w, 16), byteMask), k128);
    const __m128i y1 = _mm_srli_epi32(w, 24);
    __m128 first[6], second[6];
    FloatPairs(_mm_cvtepi32_pd(y0), _mm_cvtepi32_pd(y1), _mm_cvtepi32_pd(u), _mm_cvtepi32_pd(v),
               first);
    FloatPairs(_mm_cvtepi32_pd(_mm_srli_si128(y0, 8)), _mm_cvtepi32_pd(_mm_srli_si128(y1, 8)),
               _mm_cvtepi32_pd(_mm_srli_si128(u, 8)), _mm_cvtepi32_pd(_mm_srli_si128(v, 8)),
               second);
    __m128i c[6];
    for (int j = 0; j < 6; ++j) {
      const __m128 x = _mm_movelh_ps(first[j], second[j]);
      c[j] = _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(x, lo), hi));
    }
    // Bytes of B0 G0 R0 B1 (four pairs each), then G1 R1.
    alignas(16) uint8_t planes[32];
    _mm_store_si128(reinterpret_cast<__m128i*>(planes),
                    _mm_packus_epi16(_mm_packs_epi32(c[0], c[1]), _mm_packs_epi32(c[2], c[3])));
    _mm_store_si128(reinterpret_cast<__m128i*>(planes + 16),
                    _mm_packus_epi16(_mm_packs_epi32(c[4], c[5]), _mm_setzero_si128()));
    uint8_t* out = bgr + 6 * k;
    for (int p = 0; p < 4; ++p)
      for (int j = 0; j < 6; ++j) out[6 * p + j] = planes[4 * j + p];
  }
  for (; k < pairs; ++k) {
    const uint8_t* pair = uyvy + 4 * k;
    __m128 r[6];
    FloatPairs(_mm_set1_pd(pair[1]), _mm_set1_pd(pair[3]), _mm_set1_pd(pair[0] - 128),
               _mm_set1_pd(pair[2] - 128), r);
    for (int j = 0; j < 6; ++j)
      bgr[6 * k + j] = static_cast<uint8_t>(_mm_cvttss_si32(_mm_min_ps(_mm_max_ps(r[j], lo), hi)));
  }
}

void LumaRowSse2(const uint8_t* uyvy, int width, uint8_t* luma) {
  int i = 0;
  for (; i + 16 <= width; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(uyvy + 2 * i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(uyvy + 2 * i + 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(luma + i),
                     _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8)));
  }
  LumaRowScalar(uyvy + 2 * i, width - i, luma + i);
}

// Per 32-bit lane [U V] sums of two pairs' worth of four rows, halved thrice, for two blocks
// in the low 64 bits.
__m128i BlockSums(__m128i sums) {
  sums = _mm_add_epi16(sums, _mm_srli_epi64(sums, 32));
  return _mm_shuffle_epi32(_mm_srli_epi16(sums, 3), _MM_SHUFFLE(2, 0, 2, 0));
}

void ChromaBlocksSse2(const uint8_t* uyvy, ptrdiff_t stride, int blocks, uint8_t* v, uint8_t* u) {
  const __m128i chromaBytes = _mm_set1_epi32(0x00FF00FF);
  int b = 0;
  for (; b + 4 <= blocks; b += 4) {
    __m128i s0 = _mm_setzero_si128(), s1 = _mm_setzero_si128();
    for (int y = 0; y < 4; ++y) {
      const uint8_t* row = uyvy + y * stride + 8 * b;
      s0 = _mm_add_epi16(
          s0, _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)), chromaBytes));
      s1 = _mm_add_epi16(
          s1,
          _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16)), chromaBytes));
    }
    const __m128i uv = _mm_unpacklo_epi64(BlockSums(s0), BlockSums(s1));  // [U V] x 4 blocks
    const __m128i split =
        _mm_packs_epi32(_mm_and_si128(uv, _mm_set1_epi32(0xFFFF)), _mm_srli_epi32(uv, 16));
    const __m128i bytes = _mm_packus_epi16(split, split);  // U0..U3 V0..V3
    const int32_t us = _mm_cvtsi128_si32(bytes), vs = _mm_cvtsi128_si32(_mm_srli_si128(bytes, 4));
    std::memcpy(u + b, &us, 4);
    std::memcpy(v + b, &vs, 4);
  }
  if (b < blocks) ChromaBlocksScalar(uyvy + 8 * b, stride, blocks - b, v + b, u + b);
}

}  // namespace

const RowKernels kSse2Rows = {
    FilterRowSse2,  FilterColumnsSse2, WidenSse2,   InterleaveSse2,
    Bgr24FloatSse2, nullptr,           LumaRowSse2, ChromaBlocksSse2,
};

}  // namespace kernel_rows

#else

namespace kernel_rows {
const RowKernels kSse2Rows = {};
}

#endif
