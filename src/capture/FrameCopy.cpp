// Frame copy routines, 32 and 64 bits a word. The video port goes on writing the surface
// during the copy, so each byte is read with a single load, never read again.
#include "capture/FrameCopy.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MMX_CODE
#elif defined(__i386__) && defined(__GNUC__)
#define COPY_THROUGH_MMX
// Only the MMX routine's own code uses the MMX registers; nothing else is built for them.
#define MMX_CODE __attribute__((target("mmx")))
#else
#define MMX_CODE
#endif

void CopyFramePlain(const uint8_t* source, uint8_t* destination, size_t skip, int width,
                    int height) {
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < width / 2; ++i, source += 4, destination += 4) {
      uint32_t word;
      std::memcpy(&word, source, 4);
      std::memcpy(destination, &word, 4);
    }
    source += skip;
  }
}

namespace {

MMX_CODE void CopyWord(const uint8_t* source, uint8_t* destination) {
#if defined(__SSE2__) || defined(_M_X64)
  // The 64-bit moves of the vector unit: the width of the MMX registers, without the
  // floating-point state to restore afterwards.
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination),
                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source)));
#elif defined(COPY_THROUGH_MMX)
  // 32-bit code for any x86 has no 64-bit load but through the MMX registers, which a
  // processor has where this routine is chosen; CopyFrameMmx hands them back to the x87.
  asm volatile(
      "movq (%1), %%mm0\n\t"
      "movq %%mm0, (%0)"
      :
      : "r"(destination), "r"(source)
      : "mm0", "memory");
#else
  uint64_t word;
  std::memcpy(&word, source, 8);
  std::memcpy(destination, &word, 8);
#endif
}

}  // namespace

MMX_CODE void CopyFrameMmx(const uint8_t* source, uint8_t* destination, size_t skip, int width,
                           int height) {
  const int steps = width / 4;
  for (int y = 0; y < height; ++y) {
    int i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    // Two words to a load and a store, eight words a step: every byte is still read once
    // and written once, only fewer instructions carry them, which is what holds a copy of
    // cached rows back.
    for (; i + 8 <= steps; i += 8) {
      const __m128i* from = reinterpret_cast<const __m128i*>(source + 8 * i);
      __m128i* to = reinterpret_cast<__m128i*>(destination + 8 * i);
      const __m128i a = _mm_loadu_si128(from), b = _mm_loadu_si128(from + 1);
      const __m128i c = _mm_loadu_si128(from + 2), d = _mm_loadu_si128(from + 3);
      _mm_storeu_si128(to, a);
      _mm_storeu_si128(to + 1, b);
      _mm_storeu_si128(to + 2, c);
      _mm_storeu_si128(to + 3, d);
    }
    for (; i + 2 <= steps; i += 2)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 8 * i),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 8 * i)));
#else
    for (; i + 4 <= steps; i += 4) {
      const uint8_t* from = source + 8 * i;
      uint8_t* to = destination + 8 * i;
      CopyWord(from, to);
      CopyWord(from + 8, to + 8);
      CopyWord(from + 16, to + 16);
      CopyWord(from + 24, to + 24);
    }
#endif
    for (; i < steps; ++i) CopyWord(source + 8 * i, destination + 8 * i);
    source += 8 * static_cast<size_t>(steps) + skip;
    destination += 8 * static_cast<size_t>(steps);
  }
#if defined(COPY_THROUGH_MMX)
  asm volatile("emms" ::: "memory");
#endif
}
