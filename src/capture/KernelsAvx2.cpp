// Row kernels with AVX2 (built with -mavx2, no FMA, so every product is rounded before
// it is added, as in the plain rows). On Windows this file is also assembled with
// unaligned moves for spills: the 64-bit Windows stack only promises 16-byte alignment.
#include "capture/KernelRows.h"

#if defined(__AVX2__)
#include <immintrin.h>

#include <cstring>

namespace kernel_rows {
namespace {

void StoreFourBytes(__m256d sum, uint8_t* out) {
  sum = _mm256_min_pd(_mm256_max_pd(sum, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
  __m128i v = _mm256_cvttpd_epi32(sum);
  v = _mm_packus_epi16(_mm_packs_epi32(v, v), v);
  const int32_t bytes = _mm_cvtsi128_si32(v);
  std::memcpy(out, &bytes, 4);
}

void FilterRowAvx2(const double* ext, int count, const double* taps, uint8_t* out) {
  __m256d w[8];
  for (int t = 0; t < 8; ++t) w[t] = _mm256_set1_pd(taps[t]);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256d a = _mm256_mul_pd(_mm256_loadu_pd(ext + i), w[0]);
    __m256d b = _mm256_mul_pd(_mm256_loadu_pd(ext + i + 4), w[0]);
    for (int t = 1; t < 8; ++t) {
      a = _mm256_add_pd(a, _mm256_mul_pd(_mm256_loadu_pd(ext + i + t), w[t]));
      b = _mm256_add_pd(b, _mm256_mul_pd(_mm256_loadu_pd(ext + i + 4 + t), w[t]));
    }
    StoreFourBytes(a, out + i);
    StoreFourBytes(b, out + i + 4);
  }
  FilterRowScalar(ext + i, count - i, taps, out + i);
}

// Sixteen clamped doubles (four vectors) to sixteen bytes.
void StoreSixteenBytes(__m256d a, __m256d b, __m256d c, __m256d d, uint8_t* out) {
  const __m256d lo = _mm256_setzero_pd(), hi = _mm256_set1_pd(255.0);
  const __m128i va = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(a, lo), hi));
  const __m128i vb = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(b, lo), hi));
  const __m128i vc = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(c, lo), hi));
  const __m128i vd = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(d, lo), hi));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   _mm_packus_epi16(_mm_packs_epi32(va, vb), _mm_packs_epi32(vc, vd)));
}

// Sixteen columns at a time: four independent sums per phase keep the adders busy while
// each sum still adds its products one after another in tap order.
void FilterColumnsAvx2(const double* const* rows, int width, const double* taps, int phases,
                       uint8_t* const* out) {
  const double* r[8];
  for (int t = 0; t < 8; ++t) r[t] = rows[t];
  int i = 0;
  for (; i + 16 <= width; i += 16) {
    for (int ph = 0; ph < phases; ++ph) {
      const double* w = taps + 8 * ph;
      __m256d wt = _mm256_broadcast_sd(w);
      __m256d a = _mm256_mul_pd(_mm256_loadu_pd(r[0] + i), wt);
      __m256d b = _mm256_mul_pd(_mm256_loadu_pd(r[0] + i + 4), wt);
      __m256d c = _mm256_mul_pd(_mm256_loadu_pd(r[0] + i + 8), wt);
      __m256d d = _mm256_mul_pd(_mm256_loadu_pd(r[0] + i + 12), wt);
#pragma GCC unroll 7
      for (int t = 1; t < 8; ++t) {
        wt = _mm256_broadcast_sd(w + t);
        a = _mm256_add_pd(a, _mm256_mul_pd(_mm256_loadu_pd(r[t] + i), wt));
        b = _mm256_add_pd(b, _mm256_mul_pd(_mm256_loadu_pd(r[t] + i + 4), wt));
        c = _mm256_add_pd(c, _mm256_mul_pd(_mm256_loadu_pd(r[t] + i + 8), wt));
        d = _mm256_add_pd(d, _mm256_mul_pd(_mm256_loadu_pd(r[t] + i + 12), wt));
      }
      StoreSixteenBytes(a, b, c, d, out[ph] + i);
    }
  }
  for (; i + 4 <= width; i += 4) {
    for (int ph = 0; ph < phases; ++ph) {
      const double* w = taps + 8 * ph;
      __m256d sum = _mm256_mul_pd(_mm256_loadu_pd(r[0] + i), _mm256_broadcast_sd(w));
#pragma GCC unroll 7
      for (int t = 1; t < 8; ++t)
        sum = _mm256_add_pd(sum,
                            _mm256_mul_pd(_mm256_loadu_pd(r[t] + i), _mm256_broadcast_sd(w + t)));
      StoreFourBytes(sum, out[ph] + i);
    }
  }
  FilterColumnsScalar(rows, i, width, taps, phases, out);
}

void WidenAvx2(const uint8_t* bytes, int count, double* out) {
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i wide =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + i)));
    _mm256_storeu_pd(out + i, _mm256_cvtepi32_pd(_mm256_castsi256_si128(wide)));
    _mm256_storeu_pd(out + i + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(wide, 1)));
  }
  WidenScalar(bytes + i, count - i, out + i);
}

void InterleaveAvx2(const uint8_t* chroma, const uint8_t* luma, int width, bool lumaFirst,
                    uint8_t* packed) {
  const uint8_t* first = lumaFirst ? luma : chroma;
  const uint8_t* second = lumaFirst ? chroma : luma;
  int i = 0;
  for (; i + 32 <= width; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(second + i));
    const __m256i lo = _mm256_unpacklo_epi8(a, b), hi = _mm256_unpackhi_epi8(a, b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(packed + 2 * i),
                        _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(packed + 2 * i + 32),
                        _mm256_permute2x128_si256(lo, hi, 0x31));
  }
  InterleaveScalar(chroma + i, luma + i, width - i, lumaFirst, packed + 2 * i);
}

// Four pairs of the floating-point converter, clamped, as B0 G0 R0 B1 G1 R1 vectors.
void FloatPairs(__m128i w, __m128i out[6]) {
  const __m128i byteMask = _mm_set1_epi32(0xFF), k128 = _mm_set1_epi32(128);
  const __m256d u = _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_and_si128(w, byteMask), k128));
  const __m256d y0 = _mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(w, 8), byteMask));
  const __m256d v =
      _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(w, 16), byteMask), k128));
  const __m256d y1 = _mm256_cvtepi32_pd(_mm_srli_epi32(w, 24));
  const __m128 r0 = _mm256_cvtpd_ps(_mm256_add_pd(y0, _mm256_mul_pd(v, _mm256_set1_pd(1.402))));
  const __m128 g0 =
      _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_sub_pd(y0, _mm256_mul_pd(u, _mm256_set1_pd(0.34414))),
                                    _mm256_mul_pd(v, _mm256_set1_pd(0.71414))));
  const __m128 b0 = _mm256_cvtpd_ps(_mm256_add_pd(y0, _mm256_mul_pd(u, _mm256_set1_pd(1.772))));
  const __m256d d = _mm256_sub_pd(y1, y0);
  const __m128 values[6] = {
      b0,
      g0,
      r0,
      _mm256_cvtpd_ps(_mm256_add_pd(d, _mm256_cvtps_pd(b0))),
      _mm256_cvtpd_ps(_mm256_add_pd(d, _mm256_cvtps_pd(g0))),
      _mm256_cvtpd_ps(_mm256_add_pd(d, _mm256_cvtps_pd(r0))),
  };
  for (int j = 0; j < 6; ++j)
    out[j] =
        _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(values[j], _mm_setzero_ps()), _mm_set1_ps(255.0f)));
}

void Bgr24FloatAvx2(const uint8_t* uyvy, int pairs, uint8_t* bgr) {
  // From [B0 G0 R0 B1] and [G1 R1] (four pairs each) to B0 G0 R0 B1 G1 R1 per pair.
  constexpr char X = -128;
  const __m128i headA = _mm_setr_epi8(0, 4, 8, 12, X, X, 1, 5, 9, 13, X, X, 2, 6, 10, 14);
  const __m128i headB = _mm_setr_epi8(X, X, X, X, 0, 4, X, X, X, X, 1, 5, X, X, X, X);
  const __m128i tailA = _mm_setr_epi8(X, X, 3, 7, 11, 15, X, X, X, X, X, X, X, X, X, X);
  const __m128i tailB = _mm_setr_epi8(2, 6, X, X, X, X, 3, 7, X, X, X, X, X, X, X, X);
  int k = 0;
  for (; k + 4 <= pairs; k += 4) {
    __m128i c[6];
    FloatPairs(_mm_loadu_si128(reinterpret_cast<const __m128i*>(uyvy + 4 * k)), c);
    const __m128i a = _mm_packus_epi16(_mm_packs_epi32(c[0], c[1]), _mm_packs_epi32(c[2], c[3]));
    const __m128i b = _mm_packus_epi16(_mm_packs_epi32(c[4], c[5]), c[4]);
    uint8_t* out = bgr + 6 * k;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_shuffle_epi8(a, headA), _mm_shuffle_epi8(b, headB)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16),
                     _mm_or_si128(_mm_shuffle_epi8(a, tailA), _mm_shuffle_epi8(b, tailB)));
  }
  if (k < pairs) {
    // The last one to three pairs go through a zero-padded block.
    uint8_t in[16] = {}, out[24];
    std::memcpy(in, uyvy + 4 * k, 4 * (pairs - k));
    Bgr24FloatAvx2(in, 4, out);
    std::memcpy(bgr + 6 * k, out, 6 * (pairs - k));
  }
}

void Bgr24FixedAvx2(const uint8_t* uyvy, int pairs, uint8_t* bgr) {
  const __m256i chromaBytes = _mm256_set1_epi32(0x00FF00FF);
  const __m256i k128 = _mm256_set1_epi16(128);
  const __m256i scaledHigh = _mm256_set1_epi32(Lanes16(kBlueScaled, kRedScaled));
  const __m256i greenWhole = _mm256_set1_epi32(Lanes16(-kUGreenWhole, -kVGreenWhole));
  const __m256i greenFraction = _mm256_set1_epi32(Lanes16(kUGreenFraction, kVGreenFraction));
  const __m256i minusOnes = _mm256_set1_epi16(-1);
  const __m256i lowWord = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13, 0, 1,
                                           0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
  const __m256i highWord = _mm256_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15,
                                            2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15);
  // Per 128-bit half: from [B x8, G x8] and [R x8] (pixels in order) to B G R per pixel.
  constexpr char X = -128;
  const __m256i bgHead = _mm256_setr_epi8(0, 8, X, 1, 9, X, 2, 10, X, 3, 11, X, 4, 12, X, 5, 0, 8,
                                          X, 1, 9, X, 2, 10, X, 3, 11, X, 4, 12, X, 5);
  const __m256i rHead = _mm256_setr_epi8(X, X, 0, X, X, 1, X, X, 2, X, X, 3, X, X, 4, X, X, X, 0, X,
                                         X, 1, X, X, 2, X, X, 3, X, X, 4, X);
  const __m256i bgTail = _mm256_setr_epi8(13, X, 6, 14, X, 7, 15, X, X, X, X, X, X, X, X, X, 13, X,
                                          6, 14, X, 7, 15, X, X, X, X, X, X, X, X, X);
  const __m256i rTail = _mm256_setr_epi8(X, 5, X, X, 6, X, X, 7, X, X, X, X, X, X, X, X, X, 5, X, X,
                                         6, X, X, 7, X, X, X, X, X, X, X, X);

  int k = 0;
  for (; k + 8 <= pairs; k += 8) {
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(uyvy + 4 * k));
    const __m256i y = _mm256_srli_epi16(w, 8);
    const __m256i t = _mm256_sub_epi16(_mm256_and_si256(w, chromaBytes), k128);
    const __m256i blueRed = _mm256_mulhi_epi16(_mm256_slli_epi16(t, kScaledShift), scaledHigh);
    const __m256i fraction =
        _mm256_sign_epi16(_mm256_mulhi_epu16(_mm256_abs_epi16(t), greenFraction), t);
    const __m256i green = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(t, greenWhole), _mm256_madd_epi16(fraction, minusOnes)),
        10);
    const __m256i b = _mm256_add_epi16(y, _mm256_shuffle_epi8(blueRed, lowWord));
    const __m256i r = _mm256_add_epi16(y, _mm256_shuffle_epi8(blueRed, highWord));
    const __m256i g = _mm256_add_epi16(y, _mm256_shuffle_epi8(green, lowWord));
    const __m256i bg = _mm256_packus_epi16(b, g);
    const __m256i rr = _mm256_packus_epi16(r, r);
    const __m256i head =
        _mm256_or_si256(_mm256_shuffle_epi8(bg, bgHead), _mm256_shuffle_epi8(rr, rHead));
    const __m256i tail =
        _mm256_or_si256(_mm256_shuffle_epi8(bg, bgTail), _mm256_shuffle_epi8(rr, rTail));
    uint8_t* out = bgr + 6 * k;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(head));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_castsi256_si128(tail));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm256_extracti128_si256(head, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 40), _mm256_extracti128_si256(tail, 1));
  }
  Bgr24FixedScalar(uyvy + 4 * k, pairs - k, bgr + 6 * k);
}

void LumaRowAvx2(const uint8_t* uyvy, int width, uint8_t* luma) {
  int i = 0;
  for (; i + 32 <= width; i += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(uyvy + 2 * i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(uyvy + 2 * i + 32));
    const __m256i packed = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(luma + i),
                        _mm256_permute4x64_epi64(packed, _MM_SHUFFLE(3, 1, 2, 0)));
  }
  LumaRowScalar(uyvy + 2 * i, width - i, luma + i);
}

// [U V] sums per pair over four rows to one [U V] average per block, two blocks per half.
__m256i BlockAverages(__m256i sums) {
  sums = _mm256_add_epi16(sums, _mm256_srli_epi64(sums, 32));
  return _mm256_shuffle_epi32(_mm256_srli_epi16(sums, 3), _MM_SHUFFLE(2, 0, 2, 0));
}

void ChromaBlocksAvx2(const uint8_t* uyvy, ptrdiff_t stride, int blocks, uint8_t* v, uint8_t* u) {
  const __m256i chromaBytes = _mm256_set1_epi32(0x00FF00FF);
  int b = 0;
  for (; b + 8 <= blocks; b += 8) {
    __m256i s0 = _mm256_setzero_si256(), s1 = _mm256_setzero_si256();
    for (int y = 0; y < 4; ++y) {
      const uint8_t* row = uyvy + y * stride + 8 * b;
      s0 = _mm256_add_epi16(
          s0,
          _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row)), chromaBytes));
      s1 = _mm256_add_epi16(
          s1, _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 32)),
                               chromaBytes));
    }
    // Halves hold blocks 0 1 4 5 | 2 3 6 7; put them in order.
    const __m256i uv = _mm256_permute4x64_epi64(
        _mm256_unpacklo_epi64(BlockAverages(s0), BlockAverages(s1)), _MM_SHUFFLE(3, 1, 2, 0));
    const __m256i split = _mm256_packs_epi32(_mm256_and_si256(uv, _mm256_set1_epi32(0xFFFF)),
                                             _mm256_srli_epi32(uv, 16));
    // Bytes per half: U x4, V x4 (twice); gather U0..U7 then V0..V7.
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(split, split),
                                                      _mm256_setr_epi32(0, 4, 1, 5, 0, 0, 0, 0));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(u + b), _mm256_castsi256_si128(bytes));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(v + b),
                     _mm_srli_si128(_mm256_castsi256_si128(bytes), 8));
  }
  if (b < blocks) ChromaBlocksScalar(uyvy + 8 * b, stride, blocks - b, v + b, u + b);
}

}  // namespace

const RowKernels kAvx2Rows = {
    FilterRowAvx2,  FilterColumnsAvx2, WidenAvx2,   InterleaveAvx2,
    Bgr24FloatAvx2, Bgr24FixedAvx2,    LumaRowAvx2, ChromaBlocksAvx2,
};

}  // namespace kernel_rows

#else

namespace kernel_rows {
const RowKernels kAvx2Rows = {};
}

#endif
