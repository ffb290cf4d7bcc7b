// The grab's two frame copy routines: the visible picture out of a padded surface, row by
// row, into a buffer without padding, and nothing else written.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <random>
#include <vector>

#include "capture/FrameCopy.h"

namespace {

using Bytes = std::vector<uint8_t>;
using CopyRoutine = void (*)(const uint8_t*, uint8_t*, size_t, int, int);

constexpr uint8_t kUnwritten = 0x5C;

Bytes RandomSurface(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes s(size);
  for (auto& b : s) b = static_cast<uint8_t>(rng());
  return s;
}

struct Grab {
  Bytes buffer;
  Bytes surfaceAfter;
};

// Copies a W x H picture starting `firstRow` rows and 8 bytes into a surface of `rows`
// rows of `pitch` bytes, as the grab does, into a buffer with 64 spare bytes.
Grab CopyFromSurface(CopyRoutine copy, int width, int height, size_t pitch, int rows, int firstRow,
                     uint32_t seed) {
  Grab g{Bytes(static_cast<size_t>(width) * height * 2 + 64, kUnwritten),
         RandomSurface(pitch * rows, seed)};
  const Bytes before = g.surfaceAfter;
  copy(g.surfaceAfter.data() + firstRow * pitch + 8, g.buffer.data(), pitch - 2 * width, width,
       height);
  EXPECT_EQ(g.surfaceAfter, before) << "the surface is only read";
  return g;
}

void ExpectPictureRows(const Grab& g, int width, int height, size_t pitch, int firstRow) {
  const size_t row = static_cast<size_t>(width) * 2;
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = g.surfaceAfter.data() + (firstRow + y) * pitch + 8;
    ASSERT_TRUE(std::equal(from, from + row, g.buffer.begin() + y * row)) << "row " << y;
  }
  EXPECT_EQ(Bytes(g.buffer.end() - 64, g.buffer.end()), Bytes(64, kUnwritten));
}

TEST(FrameCopy, NtscPictureComesFromSurfaceRows11To250) {
  const size_t pitch = 2 * 352 + 8 + 40;
  for (CopyRoutine copy : {CopyFramePlain, CopyFrameMmx}) {
    const Grab g = CopyFromSurface(copy, 352, 240, pitch, 11 + 240 + 2, 11, 1);
    ExpectPictureRows(g, 352, 240, pitch, 11);
    EXPECT_EQ(g.buffer.size() - 64, 168960u);
  }
}

TEST(FrameCopy, PalPictureComesFromSurfaceRows1To288) {
  const size_t pitch = 2 * 352 + 8;  // the narrowest surface the grab accepts
  for (CopyRoutine copy : {CopyFramePlain, CopyFrameMmx}) {
    const Grab g = CopyFromSurface(copy, 352, 288, pitch, 1 + 288, 1, 2);
    ExpectPictureRows(g, 352, 288, pitch, 1);
    EXPECT_EQ(g.buffer.size() - 64, 202752u);
  }
}

TEST(FrameCopy, BothRoutinesGiveTheSameBufferAtEveryWidth) {
  for (int width = 4; width <= 64; width += 4)
    for (int height : {1, 2, 7}) {
      const size_t pitch = 2 * width + 8 + width % 12;
      const Grab plain =
          CopyFromSurface(CopyFramePlain, width, height, pitch, height + 1, 1, width);
      const Grab mmx = CopyFromSurface(CopyFrameMmx, width, height, pitch, height + 1, 1, width);
      ExpectPictureRows(plain, width, height, pitch, 1);
      EXPECT_EQ(plain.buffer, mmx.buffer) << width << "x" << height;
    }
}

// 32-bit code that copies through the MMX registers must hand them back to the x87 unit,
// which computes every double there.
TEST(FrameCopy, FloatingPointWorksAfterTheMmxCopy) {
  const Grab g = CopyFromSurface(CopyFrameMmx, 64, 4, 2 * 64 + 8, 5, 1, 9);
  ExpectPictureRows(g, 64, 4, 2 * 64 + 8, 1);
  volatile double quarter = 0.25;
  const double sum = quarter * 6 + 1.0;
  EXPECT_EQ(sum, 2.5);
}

}  // namespace
