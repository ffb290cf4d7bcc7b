// Row kernels with AVX-512 (built with -mavx512bw -mavx512vbmi, no FMA). The fixed-point
// UYVY to BGR24 row does sixteen pairs a step, and one two-table byte permute per output
// vector places the three colours where the narrower builds need two shuffles and an OR
// per 16 bytes; masked loads and stores finish a row without a scalar tail. On Windows
// this file is assembled with unaligned moves for spills, as the AVX2 one.
#include "capture/KernelRows.h"

#if defined(__AVX512BW__) && defined(__AVX512VBMI__)
// GCC 12's 512-bit intrinsics start some results from a deliberately undefined vector and
// then warn that it may be used uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <cstdint>

namespace kernel_rows {
namespace {

// Byte o of the 96 output bytes of 32 pixels: pixel o / 3, colour o % 3 (B, G, R). Per
// 128-bit lane L, pair j of the lane's four: the packed blue and red vector holds B of the
// first pixel and R of the second at 16L + 2j, + 1, then B of the second and R of the
// first at 16L + 8 + 2j, + 1; the packed green vector (bit 6 of an index picks it) holds
// G of the pair's pixels at 16L + 2j, + 1.
struct PlaceIndices {
  alignas(64) uint8_t bytes[128];
};

constexpr PlaceIndices BuildPlaceIndices() {
  PlaceIndices p{};
  for (int o = 0; o < 96; ++o) {
    const int pixel = o / 3, colour = o % 3, second = pixel % 2;
    const int at = 16 * (pixel / 8) + 2 * (pixel / 2 % 4);
    const int blue = at + 8 * second, red = at + 8 * (1 - second) + 1;
    p.bytes[o] = static_cast<uint8_t>(colour == 0 ? blue : colour == 2 ? red : (at + second) | 64);
  }
  return p;
}

constexpr PlaceIndices kPlace = BuildPlaceIndices();

// Sixteen pairs (or the first `pairs` of them under the masks) at `uyvy` to `bgr`.
// Masked-off bytes are neither read nor written, so a short row cannot fault.
inline void SixteenPairs(const uint8_t* uyvy, uint8_t* bgr, __mmask64 in, __mmask64 outLow,
                         __mmask64 outHigh) {
  const __m512i chromaBytes = _mm512_set1_epi32(0x00FF00FF);
  const __m512i k128 = _mm512_set1_epi16(128);
  const __m512i scaledHigh = _mm512_set1_epi32(Lanes16(kBlueScaled, kRedScaled));
  const __m512i greenWhole = _mm512_set1_epi32(Lanes16(-kUGreenWhole, -kVGreenWhole));
  const __m512i greenFraction = _mm512_set1_epi32(Lanes16(kUGreenFraction, kVGreenFraction));
  const __m512i minusOnes = _mm512_set1_epi16(-1);
  const __m512i lowWord =
      _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13));

  const __m512i w = _mm512_maskz_loadu_epi8(in, uyvy);
  const __m512i y = _mm512_srli_epi16(w, 8);                                   // [Y0 Y1]
  const __m512i t = _mm512_sub_epi16(_mm512_and_si512(w, chromaBytes), k128);  // [U V] - 128
  const __m512i blueRed =
      _mm512_mulhi_epi16(_mm512_slli_epi16(t, kScaledShift), scaledHigh);  // [B R] offsets
  // sign(t) * ((|t| * k) >> 16) is (t * k) >> 16 rounded toward zero: one more than the
  // floor for negative t, as t * k is never a multiple of 65536 (k odd, |t| <= 128).
  const __m512i signedFraction =
      _mm512_sub_epi16(_mm512_mulhi_epi16(t, greenFraction), _mm512_srai_epi16(t, 15));
  const __m512i green =
      _mm512_srai_epi32(_mm512_add_epi32(_mm512_madd_epi16(t, greenWhole),
                                         _mm512_madd_epi16(signedFraction, minusOnes)),
                        10);
  // [B R] offsets onto [Y0 Y1] and onto [Y1 Y0]: each pixel's blue and red without
  // spreading the offsets over the pair first.
  const __m512i blueFirstRedSecond = _mm512_add_epi16(y, blueRed);
  const __m512i blueSecondRedFirst = _mm512_add_epi16(_mm512_rol_epi32(y, 16), blueRed);
  const __m512i g = _mm512_add_epi16(y, _mm512_shuffle_epi8(green, lowWord));
  const __m512i br = _mm512_packus_epi16(blueFirstRedSecond, blueSecondRedFirst);
  const __m512i gg = _mm512_packus_epi16(g, g);
  const __m512i low = _mm512_permutex2var_epi8(br, _mm512_load_si512(kPlace.bytes), gg);
  const __m512i high = _mm512_permutex2var_epi8(br, _mm512_load_si512(kPlace.bytes + 64), gg);
  _mm512_mask_storeu_epi8(bgr, outLow, low);
  _mm512_mask_storeu_epi8(bgr + 64, outHigh, high);
}

void Bgr24FixedAvx512(const uint8_t* uyvy, int pairs, uint8_t* bgr) {
  int k = 0;
  for (; k + 16 <= pairs; k += 16)
    SixteenPairs(uyvy + 4 * k, bgr + 6 * k, ~__mmask64{0}, ~__mmask64{0}, 0xFFFFFFFF);
  if (k < pairs) {
    const int bytesIn = 4 * (pairs - k), bytesOut = 6 * (pairs - k);  // under 64 and 96
    const __mmask64 in = (__mmask64{1} << bytesIn) - 1;
    const __mmask64 outLow = bytesOut >= 64 ? ~__mmask64{0} : (__mmask64{1} << bytesOut) - 1;
    const __mmask64 outHigh = bytesOut > 64 ? (__mmask64{1} << (bytesOut - 64)) - 1 : 0;
    SixteenPairs(uyvy + 4 * k, bgr + 6 * k, in, outLow, outHigh);
  }
}

// Thirty-two columns at a time, four independent sums per phase, each adding its
// products one after another in tap order (no fused multiply-add in this build).
void FilterColumnsAvx512(const double* const* rows, int width, const double* taps, int phases,
                         uint8_t* const* out) {
  const double* r[8];
  for (int t = 0; t < 8; ++t) r[t] = rows[t];
  const __m512d lo = _mm512_setzero_pd(), hi = _mm512_set1_pd(255.0);
  int i = 0;
  for (; i + 32 <= width; i += 32) {
    for (int ph = 0; ph < phases; ++ph) {
      const double* w = taps + 8 * ph;
      __m512d wt = _mm512_set1_pd(w[0]);
      __m512d a = _mm512_mul_pd(_mm512_loadu_pd(r[0] + i), wt);
      __m512d b = _mm512_mul_pd(_mm512_loadu_pd(r[0] + i + 8), wt);
      __m512d c = _mm512_mul_pd(_mm512_loadu_pd(r[0] + i + 16), wt);
      __m512d d = _mm512_mul_pd(_mm512_loadu_pd(r[0] + i + 24), wt);
#pragma GCC unroll 7
      for (int t = 1; t < 8; ++t) {
        wt = _mm512_set1_pd(w[t]);
        a = _mm512_add_pd(a, _mm512_mul_pd(_mm512_loadu_pd(r[t] + i), wt));
        b = _mm512_add_pd(b, _mm512_mul_pd(_mm512_loadu_pd(r[t] + i + 8), wt));
        c = _mm512_add_pd(c, _mm512_mul_pd(_mm512_loadu_pd(r[t] + i + 16), wt));
        d = _mm512_add_pd(d, _mm512_mul_pd(_mm512_loadu_pd(r[t] + i + 24), wt));
      }
      // Clamped, truncated to 32-bit integers, narrowed with saturation (exact here).
      const __m256i ab =
          _mm256_packs_epi32(_mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(a, lo), hi)),
                             _mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(b, lo), hi)));
      const __m256i cd =
          _mm256_packs_epi32(_mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(c, lo), hi)),
                             _mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(d, lo), hi)));
      // Packing works per 128-bit half: four bytes each of a, b, c, d from the low half,
      // then from the high half; gather a's, then b's, c's and d's.
      const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(ab, cd),
                                                        _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[ph] + i), bytes);
    }
  }
  FilterColumnsScalar(rows, i, width, taps, phases, out);
}

}  // namespace

const RowKernels kAvx512Rows = {
    nullptr, FilterColumnsAvx512, nullptr, nullptr, nullptr, Bgr24FixedAvx512, nullptr, nullptr,
};

}  // namespace kernel_rows

#else

namespace kernel_rows {
const RowKernels kAvx512Rows = {};
}

#endif
