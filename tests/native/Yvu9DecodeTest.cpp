// YVU9 frames back to RGB, against the program's own conversions: a picture whose chroma
// is constant over each 4 x 4 block survives UYVY -> YVU9 -> RGB with exactly the bytes its
// RGB capture would have; any picture decodes to the RGB of its block-averaged chroma.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "capture/PixelKernels.h"
#include "capture/Yvu9Decode.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Random luma; chroma random per 4 x 4 block when `blockChroma`, else per pixel pair.
Bytes RandomUyvy(int width, int height, uint32_t seed, bool blockChroma) {
  std::mt19937 rng(seed);
  const int blocks = (width / 4) * (height / 4);
  Bytes blockU(static_cast<size_t>(blocks)), blockV(static_cast<size_t>(blocks));
  for (int i = 0; i < blocks; ++i) {
    blockU[i] = static_cast<uint8_t>(rng());
    blockV[i] = static_cast<uint8_t>(rng());
  }
  Bytes out(static_cast<size_t>(width) * height * 2);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; x += 2) {
      uint8_t* p = &out[(static_cast<size_t>(y) * width + x) * 2];
      const int b = (y / 4) * (width / 4) + x / 4;
      p[0] = blockChroma ? blockU[b] : static_cast<uint8_t>(rng());
      p[1] = static_cast<uint8_t>(rng());
      p[2] = blockChroma ? blockV[b] : static_cast<uint8_t>(rng());
      p[3] = static_cast<uint8_t>(rng());
    }
  return out;
}

Bytes ToYvu9(const Bytes& uyvy, int width, int height) {
  Bytes out(Yvu9FrameBytes(width, height));
  EXPECT_TRUE(UyvyToYvu9(uyvy.data(), width, height, out.data()));
  return out;
}

Bytes ToRgb(const Bytes& yvu9, int width, int height, int bits) {
  Bytes out(RgbRowBytes(width, bits) * height, 0xA7);
  EXPECT_TRUE(Yvu9ToRgb(yvu9.data(), width, height, bits, out.data()));
  return out;
}

Bytes FixedBgr(const Bytes& uyvy, int width, int height) {
  Bytes out(static_cast<size_t>(width) * height * 3);
  UyvyFrameToBgr24Fixed(uyvy.data(), width, height, out.data());
  return out;
}

struct Size {
  int Width, Height;
};
constexpr Size kSizes[] = {{352, 240}, {352, 288}, {4, 4}, {12, 8}, {20, 12}};

TEST(Yvu9Decode, BlockConstantChromaComesBackAsTheRgbCaptureWouldHaveIt) {
  uint32_t seed = 1;
  for (const Size s : kSizes) {
    const Bytes picture = RandomUyvy(s.Width, s.Height, seed++, true);
    EXPECT_EQ(ToRgb(ToYvu9(picture, s.Width, s.Height), s.Width, s.Height, 24),
              FixedBgr(picture, s.Width, s.Height))
        << s.Width << " x " << s.Height;
  }
}

TEST(Yvu9Decode, AnyPictureDecodesWithItsLumaAndTheBlockAverageOfItsChroma) {
  uint32_t seed = 100;
  for (const Size s : kSizes) {
    const Bytes picture = RandomUyvy(s.Width, s.Height, seed++, false);
    // The chroma the planar form keeps: the eight samples of each block, summed, / 8.
    Bytes expected = picture;
    for (int by = 0; by < s.Height; by += 4)
      for (int bx = 0; bx < s.Width; bx += 4) {
        int sumU = 0, sumV = 0;
        for (int y = by; y < by + 4; ++y)
          for (int x = bx; x < bx + 4; x += 2) {
            const uint8_t* p = &picture[(static_cast<size_t>(y) * s.Width + x) * 2];
            sumU += p[0];
            sumV += p[2];
          }
        for (int y = by; y < by + 4; ++y)
          for (int x = bx; x < bx + 4; x += 2) {
            uint8_t* p = &expected[(static_cast<size_t>(y) * s.Width + x) * 2];
            p[0] = static_cast<uint8_t>(sumU / 8);
            p[2] = static_cast<uint8_t>(sumV / 8);
          }
      }
    const Bytes yvu9 = ToYvu9(picture, s.Width, s.Height);
    Bytes uyvy(picture.size());
    ASSERT_TRUE(Yvu9ToUyvy(yvu9.data(), s.Width, s.Height, uyvy.data()));
    EXPECT_EQ(uyvy, expected) << s.Width << " x " << s.Height;
    EXPECT_EQ(ToRgb(yvu9, s.Width, s.Height, 24), FixedBgr(expected, s.Width, s.Height))
        << s.Width << " x " << s.Height;
  }
}

TEST(Yvu9Decode, ThirtyTwoBitRowsCarryTheSameColoursWithAZeroFourthByte) {
  const Bytes yvu9 = ToYvu9(RandomUyvy(12, 8, 7, false), 12, 8);
  const Bytes rgb24 = ToRgb(yvu9, 12, 8, 24);
  const Bytes rgb32 = ToRgb(yvu9, 12, 8, 32);
  ASSERT_EQ(rgb32.size(), 12u * 8 * 4);
  for (size_t i = 0; i < 12 * 8; ++i) {
    EXPECT_EQ(rgb32[4 * i], rgb24[3 * i]);
    EXPECT_EQ(rgb32[4 * i + 1], rgb24[3 * i + 1]);
    EXPECT_EQ(rgb32[4 * i + 2], rgb24[3 * i + 2]);
    EXPECT_EQ(rgb32[4 * i + 3], 0);
  }
}

TEST(Yvu9Decode, RefusesGeometriesAndDepthsThePlanarFormCannotCarry) {
  Bytes yvu9(64 * 9, 0x80), out(64 * 64 * 4, 0xA7);
  EXPECT_FALSE(Yvu9ToRgb(yvu9.data(), 6, 4, 24, out.data()));
  EXPECT_FALSE(Yvu9ToRgb(yvu9.data(), 8, 6, 24, out.data()));
  EXPECT_FALSE(Yvu9ToRgb(yvu9.data(), 0, 4, 24, out.data()));
  EXPECT_FALSE(Yvu9ToRgb(yvu9.data(), 8, 8, 16, out.data()));
  EXPECT_FALSE(Yvu9ToUyvy(yvu9.data(), 8, -4, out.data()));
  for (uint8_t b : out) ASSERT_EQ(b, 0xA7);
  // A 24-bit row of 4 pixels is 12 bytes; rows of other widths pad to 4.
  EXPECT_EQ(RgbRowBytes(4, 24), 12u);
  EXPECT_EQ(RgbRowBytes(8, 24), 24u);
  EXPECT_EQ(RgbRowBytes(6, 24), 20u);
  EXPECT_EQ(Yvu9FrameBytes(352, 288), 114048u);
}

}  // namespace
