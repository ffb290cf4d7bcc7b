// Frame copy routines, 32 and 64 bits a step. The video port goes on writing the surface
// during the copy, so each word is read with a single load.
#include "capture/FrameCopy.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
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

void CopyWord(const uint8_t* source, uint8_t* destination) {
#if defined(__SSE2__) || defined(_M_X64)
  // The 64-bit moves of the vector unit: the width of the MMX registers, without the
  // floating-point state to restore afterwards.
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination),
                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source)));
#else
  uint64_t word;
  std::memcpy(&word, source, 8);
  std::memcpy(destination, &word, 8);
#endif
}

}  // namespace

void CopyFrameMmx(const uint8_t* source, uint8_t* destination, size_t skip, int width, int height) {
  const int steps = width / 4;
  for (int y = 0; y < height; ++y) {
    int i = 0;
    for (; i + 4 <= steps; i += 4) {
      const uint8_t* from = source + 8 * i;
      uint8_t* to = destination + 8 * i;
      CopyWord(from, to);
      CopyWord(from + 8, to + 8);
      CopyWord(from + 16, to + 16);
      CopyWord(from + 24, to + 24);
    }
    for (; i < steps; ++i) CopyWord(source + 8 * i, destination + 8 * i);
    source += 8 * static_cast<size_t>(steps) + skip;
    destination += 8 * static_cast<size_t>(steps);
  }
}
