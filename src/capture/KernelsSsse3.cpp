// The fixed-point UYVY to BGR24 row with SSSE3 (built with -mssse3): byte shuffles place
// the three colours, sign and absolute value rebuild the chroma tables (KernelRows.h).
#include "capture/KernelRows.h"

#if defined(__SSSE3__)
#include <tmmintrin.h>

namespace kernel_rows {
namespace {

void Bgr24FixedSsse3(const uint8_t* uyvy, int pairs, uint8_t* bgr) {
  const __m128i chromaBytes = _mm_set1_epi32(0x00FF00FF);
  const __m128i k128 = _mm_set1_epi16(128);
  const __m128i scaledHigh = _mm_set1_epi32(Lanes16(kBlueScaled, kRedScaled));
  const __m128i greenWhole = _mm_set1_epi32(Lanes16(-kUGreenWhole, -kVGreenWhole));
  const __m128i greenFraction = _mm_set1_epi32(Lanes16(kUGreenFraction, kVGreenFraction));
  const __m128i minusOnes = _mm_set1_epi16(-1);
  const __m128i lowWord = _mm_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
  const __m128i highWord = _mm_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15);
  // From [B x8, G x8] and [R x8] (pixels in order) to B G R per pixel.
  constexpr char X = -128;
  const __m128i bgHead = _mm_setr_epi8(0, 8, X, 1, 9, X, 2, 10, X, 3, 11, X, 4, 12, X, 5);
  const __m128i rHead = _mm_setr_epi8(X, X, 0, X, X, 1, X, X, 2, X, X, 3, X, X, 4, X);
  const __m128i bgTail = _mm_setr_epi8(13, X, 6, 14, X, 7, 15, X, X, X, X, X, X, X, X, X);
  const __m128i rTail = _mm_setr_epi8(X, 5, X, X, 6, X, X, 7, X, X, X, X, X, X, X, X);

  int k = 0;
  for (; k + 4 <= pairs; k += 4) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(uyvy + 4 * k));
    const __m128i y = _mm_srli_epi16(w, 8);                                // [Y0 Y1]
    const __m128i t = _mm_sub_epi16(_mm_and_si128(w, chromaBytes), k128);  // [U-128 V-128]
    const __m128i blueRed = _mm_mulhi_epi16(_mm_slli_epi16(t, kScaledShift), scaledHigh);
    const __m128i fraction = _mm_sign_epi16(_mm_mulhi_epu16(_mm_abs_epi16(t), greenFraction), t);
    const __m128i green = _mm_srai_epi32(
        _mm_add_epi32(_mm_madd_epi16(t, greenWhole), _mm_madd_epi16(fraction, minusOnes)), 10);
    const __m128i b = _mm_add_epi16(y, _mm_shuffle_epi8(blueRed, lowWord));
    const __m128i r = _mm_add_epi16(y, _mm_shuffle_epi8(blueRed, highWord));
    const __m128i g = _mm_add_epi16(y, _mm_shuffle_epi8(green, lowWord));
    const __m128i bg = _mm_packus_epi16(b, g);
    const __m128i rr = _mm_packus_epi16(r, r);
    uint8_t* out = bgr + 6 * k;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(_mm_shuffle_epi8(bg, bgHead), _mm_shuffle_epi8(rr, rHead)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16),
                     _mm_or_si128(_mm_shuffle_epi8(bg, bgTail), _mm_shuffle_epi8(rr, rTail)));
  }
  Bgr24FixedScalar(uyvy + 4 * k, pairs - k, bgr + 6 * k);
}

}  // namespace

const RowKernels kSsse3Rows = {
    nullptr, nullptr, nullptr, nullptr, nullptr, Bgr24FixedSsse3, nullptr, nullptr,
};

}  // namespace kernel_rows

#else

namespace kernel_rows {
const RowKernels kSsse3Rows = {};
}

#endif
