// Pixel kernels: the fixed weights, tables and hand-computed pixels; the enlarger's
// behaviour at constant luma, edges and the chroma lift; and every faster path against
// the plain definition, byte for byte, over sizes, odd pair counts, offsets and seeded
// random pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "capture/PixelKernels.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kSentinel = 0xA7;

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// A UYVY picture whose luma wanders in small steps, so the filters work away from the
// clamps, with random chroma.
Bytes SmoothPicture(int width, int height, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(static_cast<size_t>(width) * height * 2);
  int y = 128;
  for (size_t i = 0; i < out.size(); i += 2) {
    y = std::clamp(y + static_cast<int>(rng() % 21) - 10, 0, 255);
    out[i] = static_cast<uint8_t>(rng());
    out[i + 1] = static_cast<uint8_t>(y);
  }
  return out;
}

// A picture as UYVY pairs, with the luma and chroma each made by a function.
template <typename Luma, typename Chroma>
Bytes Picture(int width, int height, Luma luma, Chroma chroma) {
  Bytes out(static_cast<size_t>(width) * height * 2);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &out[(static_cast<size_t>(y) * width + x) * 2];
      p[0] = chroma(x, y);
      p[1] = luma(x, y);
    }
  return out;
}

uint8_t YAt(const Bytes& uyvy, int width, int x, int y) {
  return uyvy[(static_cast<size_t>(y) * width + x) * 2 + 1];
}

// UYVY <-> YUY2: swap each chroma byte with the luma byte after it.
Bytes SwapPackedOrder(Bytes b) {
  for (size_t i = 0; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
  return b;
}

std::vector<KernelPath> FasterPaths() {
  return {KernelPath::Portable, KernelPath::Sse2, KernelPath::Ssse3, KernelPath::Avx2,
          KernelPath::Avx512};
}

// Places `data` `offset` bytes into a sentinel-filled buffer with a sentinel tail, so
// misaligned access is exercised and stray writes around the data are seen.
struct Placed {
  Bytes buffer;
  size_t offset;
  Placed(const Bytes& data, size_t offset)
      : buffer(data.size() + offset + 64, kSentinel), offset(offset) {
    std::copy(data.begin(), data.end(), buffer.begin() + offset);
  }
  Placed(size_t size, size_t offset) : buffer(size + offset + 64, kSentinel), offset(offset) {}
  uint8_t* data() { return buffer.data() + offset; }
};

// ---------------------------------------------------------------------------------------
// Tables

TEST(PixelKernelTables, SplineIsInterpolatingAndEven) {
  EXPECT_NEAR(CardinalCubicSpline(0), 1.0, 1e-15);
  for (int n = 1; n <= 6; ++n) {
    EXPECT_NEAR(CardinalCubicSpline(n), 0.0, 1e-15) << n;
    EXPECT_NEAR(CardinalCubicSpline(-n), 0.0, 1e-15) << n;
  }
  for (double x : {0.3, 1.25, 2.5, 3.9})
    EXPECT_DOUBLE_EQ(CardinalCubicSpline(x), CardinalCubicSpline(-x)) << x;
  // Sampled at every integer shift the kernel reproduces a constant exactly.
  for (double x : {0.1, 0.5, 0.77}) {
    double sum = 0;
    for (int n = -30; n <= 30; ++n) sum += CardinalCubicSpline(x - n);
    EXPECT_NEAR(sum, 1.0, 1e-12) << x;
  }
}

TEST(PixelKernelTables, RowsInUseHoldTheFixedWeights) {
  struct Entry {
    int f, d;
    double value;
  };
  const Entry fixed[] = {
      {1, 0, 1.0},        {2, 1, 0.600481},  {2, 7, -0.009147},  {3, 2, 0.378348},
      {3, 11, -0.006566}, {4, 1, 0.88143},   {4, 5, -0.123138},  {4, 15, -0.00488},
      {5, 4, 0.206892},   {5, 12, 0.036557}, {5, 19, -0.003826},
  };
  for (const Entry& e : fixed)
    EXPECT_EQ(KernelTable[e.f][e.d], e.value) << "f " << e.f << " d " << e.d;
  // Every fixed weight is the spline at d / f to six decimals, give or take the last.
  for (int f = 1; f <= 5; ++f)
    for (int d = 0; d < 4 * f; ++d)
      EXPECT_NEAR(KernelTable[f][d], CardinalCubicSpline(static_cast<double>(d) / f), 1.5e-6)
          << "f " << f << " d " << d;
}

TEST(PixelKernelTables, EveryRowIsTheSplineToSixDecimalsAndZeroOutsideItsReach) {
  for (double v : KernelTable[0]) EXPECT_EQ(v, 0.0);
  for (int f = 1; f < kKernelFactors; ++f) {
    for (int d = 0; d < kKernelEntries; ++d) {
      const double k = KernelTable[f][d];
      if (d >= 4 * f || (d % f == 0 && d != 0)) {
        EXPECT_EQ(k, 0.0) << "f " << f << " d " << d;
        continue;
      }
      EXPECT_NEAR(k, CardinalCubicSpline(static_cast<double>(d) / f), 1.5e-6)
          << "f " << f << " d " << d;
      EXPECT_NEAR(k * 1e6, std::round(k * 1e6), 1e-6) << "f " << f << " d " << d;
    }
  }
}

// The eight taps of a phase fall just short of 1, which is why constant luma loses one
// step per interpolating pass.
TEST(PixelKernelTables, EveryPhaseSumsJustBelowOne) {
  for (int f = 2; f < kKernelFactors; ++f) {
    for (int r = 1; r < f; ++r) {
      double sum = 0;
      for (int t = 0; t < 8; ++t) sum += KernelTable[f][std::abs(f * (3 - t) + r)];
      if (f <= 5) {
        EXPECT_GE(sum, 0.9961) << "f " << f << " r " << r;
        EXPECT_LE(sum, 0.9976) << "f " << f << " r " << r;
      }
      EXPECT_GT(sum, 0.996) << "f " << f << " r " << r;
      EXPECT_LT(sum, 1.0) << "f " << f << " r " << r;
    }
  }
}

TEST(PixelKernelTables, ChromaTablesAreTruncatedProducts) {
  EXPECT_EQ(VToRed[0], -183762);
  EXPECT_EQ(VToRed[255], 182327);
  EXPECT_EQ(VToGreen[0], -93603);
  EXPECT_EQ(VToGreen[129], 731);
  EXPECT_EQ(UToBlue[0], -232259);
  EXPECT_EQ(UToGreen[0], -45107);
  // Exact products in integers: c * (x - 128) * 1024 with c in thousandths or
  // hundred-thousandths; C++ division truncates toward zero.
  struct Table {
    const ChromaTable& table;
    long long numerator, denominator;
    const char* name;
  };
  const Table tables[] = {{VToRed, 1402, 1000, "VToRed"},
                          {VToGreen, 71414, 100000, "VToGreen"},
                          {UToBlue, 1772, 1000, "UToBlue"},
                          {UToGreen, 34414, 100000, "UToGreen"}};
  for (const Table& t : tables)
    for (int x = 0; x < 256; ++x)
      EXPECT_EQ(t.table[x], t.numerator * (x - 128) * 1024 / t.denominator)
          << t.name << "[" << x << "]";
}

// ---------------------------------------------------------------------------------------
// Pixel pairs

struct Six {
  uint8_t b0, g0, r0, b1, g1, r1;
};

Six Float(uint8_t u, uint8_t y0, uint8_t v, uint8_t y1) {
  const uint8_t pair[4] = {u, y0, v, y1};
  uint8_t out[6];
  UyvyToBgr24Float(pair, out);
  return {out[0], out[1], out[2], out[3], out[4], out[5]};
}

Six Fixed(uint8_t u, uint8_t y0, uint8_t v, uint8_t y1) {
  const uint8_t pair[4] = {u, y0, v, y1};
  uint8_t out[6];
  UyvyToBgr24Fixed(pair, out);
  return {out[0], out[1], out[2], out[3], out[4], out[5]};
}

TEST(PixelKernelBgr24, NeutralChromaGivesGreyInBothConverters) {
  for (const Six s : {Float(128, 100, 128, 100), Fixed(128, 100, 128, 100)}) {
    for (uint8_t c : {s.b0, s.g0, s.r0, s.b1, s.g1, s.r1}) EXPECT_EQ(c, 100);
  }
}

TEST(PixelKernelBgr24, FixedClampsTheSecondPixelFromUnclampedFirst) {
  const Six s = Fixed(128, 0, 255, 255);
  EXPECT_EQ(s.r0, 178);
  EXPECT_EQ(s.r1, 255);  // 178 + 255 = 433 before clamping
  EXPECT_EQ(s.b0, 0);
  EXPECT_EQ(s.b1, 255);
  // G0 = -91 before clamping: the second pixel starts from there, not from 0.
  EXPECT_EQ(s.g0, 0);
  EXPECT_EQ(s.g1, 164);
}

TEST(PixelKernelBgr24, FloatKeepsSinglePrecisionValues) {
  // G0 = 94 + 34.414 - 71.414 = 57 exactly, which double precision puts a hair below (it
  // would truncate to 56); stored as single precision it is 57 again. G1 = 38 - 94 + 57.
  const Six s = Float(28, 94, 228, 38);
  EXPECT_EQ(s.g0, 57);
  EXPECT_EQ(s.g1, 1);
}

TEST(PixelKernelBgr24, FloatClampsAtBothEnds) {
  const Six high = Float(255, 255, 255, 255);
  EXPECT_EQ(high.r0, 255);
  EXPECT_EQ(high.b0, 255);
  const Six low = Float(0, 0, 0, 0);
  EXPECT_EQ(low.r0, 0);
  EXPECT_EQ(low.b0, 0);
  // Green rises as both chroma fall: 0 - (-128 * 0.34414) - (-128 * 0.71414) = 135.46.
  EXPECT_EQ(low.g0, 135);
}

// The two converters follow the same equations, one in floating point and one through
// tables in 1/1024 steps, so they never differ by more than one step.
TEST(PixelKernelBgr24, FloatAndFixedAgreeWithinOneStep) {
  const uint8_t lumas[] = {0, 1, 16, 100, 128, 200, 235, 254, 255};
  int differing = 0;
  for (int u = 0; u < 256; ++u)
    for (int v = 0; v < 256; ++v)
      for (uint8_t y0 : lumas) {
        const uint8_t y1 = static_cast<uint8_t>(255 - y0);
        const Six a = Float(u, y0, v, y1), b = Fixed(u, y0, v, y1);
        const uint8_t fa[6] = {a.b0, a.g0, a.r0, a.b1, a.g1, a.r1};
        const uint8_t fb[6] = {b.b0, b.g0, b.r0, b.b1, b.g1, b.r1};
        for (int i = 0; i < 6; ++i) {
          ASSERT_LE(std::abs(fa[i] - fb[i]), 1) << u << " " << int(y0) << " " << v << " #" << i;
          differing += fa[i] != fb[i];
        }
      }
  EXPECT_GT(differing, 0);  // they are two converters, not one
}

TEST(PixelKernelBgr24, FramesAreWrittenBottomRowFirstPairByPair) {
  const int w = 10, h = 5;
  const Bytes frame = RandomBytes(w * h * 2, 7);
  for (bool fixed : {false, true}) {
    Bytes out(w * h * 3, kSentinel);
    (fixed ? UyvyFrameToBgr24Fixed : UyvyFrameToBgr24Float)(frame.data(), w, h, out.data());
    for (int row = 0; row < h; ++row)
      for (int k = 0; k < w / 2; ++k) {
        uint8_t expect[6];
        (fixed ? UyvyToBgr24Fixed : UyvyToBgr24Float)(&frame[((h - 1 - row) * w + 2 * k) * 2],
                                                      expect);
        ASSERT_EQ(0, std::memcmp(expect, &out[(row * w + 2 * k) * 3], 6))
            << (fixed ? "fixed" : "float") << " row " << row << " pair " << k;
      }
  }
}

TEST(PixelKernelBgr24, OddWidthWritesNothing) {
  const Bytes frame = RandomBytes(7 * 2 * 2, 3);
  Bytes out(64, kSentinel);
  UyvyFrameToBgr24Fixed(frame.data(), 7, 2, out.data());
  UyvyFrameToBgr24Float(frame.data(), 7, 2, out.data());
  EXPECT_EQ(out, Bytes(64, kSentinel));
}

// ---------------------------------------------------------------------------------------
// YVU9

TEST(UyvyToYvu9, WritesYThenVThenUAndNothingBeyond) {
  const int w = 352, h = 240;
  const Bytes frame = RandomBytes(w * h * 2, 11);
  const size_t y = 84480, v = 5280, u = 5280;
  Bytes a(y + v + u + 32, 0x00), b(y + v + u + 32, 0xFF);
  ASSERT_TRUE(UyvyToYvu9(frame.data(), w, h, a.data()));
  ASSERT_TRUE(UyvyToYvu9(frame.data(), w, h, b.data()));
  // Every byte of the three planes is written (the two fills agree) and none after them.
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + y + v + u, b.begin()));
  EXPECT_EQ(Bytes(a.begin() + y + v + u, a.end()), Bytes(32, 0x00));
  EXPECT_EQ(Bytes(b.begin() + y + v + u, b.end()), Bytes(32, 0xFF));
  for (int i : {0, 1, 351, 352, 84479}) EXPECT_EQ(a[i], frame[2 * i + 1]) << i;
}

TEST(UyvyToYvu9, AveragesEachBlocksEightSamplesTruncating) {
  // 8 x 4: two blocks. Block 0: V all 200, U seven 1s and a 0 (sum 7 -> 0).
  // Block 1: V 255 throughout, U alternating 10 and 13 (sum 92 -> 11).
  const int w = 8, h = 4;
  Bytes frame(w * h * 2);
  for (int y = 0; y < h; ++y)
    for (int pair = 0; pair < 4; ++pair) {
      uint8_t* p = &frame[(y * w + 2 * pair) * 2];
      const bool second = pair >= 2;
      p[0] = second ? (pair % 2 ? 13 : 10) : (y == 3 && pair == 1 ? 0 : 1);
      p[1] = static_cast<uint8_t>(y * 8 + pair);
      p[2] = second ? 255 : 200;
      p[3] = 0;
    }
  Bytes out(w * h * 9 / 8);
  ASSERT_TRUE(UyvyToYvu9(frame.data(), w, h, out.data()));
  const uint8_t* v = &out[w * h];
  const uint8_t* u = v + 2;
  EXPECT_EQ(v[0], 200);
  EXPECT_EQ(v[1], 255);
  EXPECT_EQ(u[0], 0);
  EXPECT_EQ(u[1], 11);
}

TEST(UyvyToYvu9, SizesNotMultiplesOfFourWriteNothing) {
  const Bytes frame = RandomBytes(12 * 8 * 2, 5);
  for (auto [w, h] : {std::pair{6, 8}, std::pair{12, 6}, std::pair{0, 8}, std::pair{12, 0}}) {
    Bytes out(256, kSentinel);
    EXPECT_FALSE(UyvyToYvu9(frame.data(), w, h, out.data())) << w << "x" << h;
    EXPECT_EQ(out, Bytes(256, kSentinel));
  }
}

// ---------------------------------------------------------------------------------------
// ScaleImage

Bytes Scaled(const Bytes& src, int ws, int hs, int wd, int hd, KernelPath path = BestKernelPath(),
             uint32_t fourcc = kFourccUyvy) {
  Bytes dst(static_cast<size_t>(wd) * hd * 2, kSentinel);
  EXPECT_EQ(0, ScaleImageOn(path, src.data(), ws, hs, fourcc, dst.data(), wd, hd, fourcc));
  return dst;
}

TEST(ScaleImage, FactorOneKeepsLumaAndLiftsChromaByTwoSaturating) {
  const int w = 16, h = 3;
  Bytes src = RandomBytes(w * h * 2, 21);
  // The top of the chroma range in every position it can take.
  const uint8_t top[] = {252, 253, 254, 255};
  for (int i = 0; i < 4; ++i) {
    src[4 * i] = top[i];
    src[4 * i + 2] = top[3 - i];
  }
  for (KernelPath path : {KernelPath::Reference, BestKernelPath()}) {
    const Bytes out = Scaled(src, w, h, w, h, path);
    for (size_t i = 0; i < src.size(); ++i) {
      const int expect = i % 2 ? src[i] : std::min(src[i] + 2, 255);
      ASSERT_EQ(out[i], expect) << KernelPathName(path) << " byte " << i;
    }
  }
}

TEST(ScaleImage, ChromaIsRepeatedOverEachEnlargedPairAndLifted) {
  const int ws = 6, hs = 2, f = 3;
  const Bytes src = Picture(
      ws, hs, [](int x, int y) { return uint8_t(x * 10 + y); },
      [](int x, int y) { return uint8_t(x % 2 ? 250 + x + y : 100 + x + 10 * y); });
  const Bytes out = Scaled(src, ws, hs, ws * f, hs * f);
  for (int y = 0; y < hs * f; ++y)
    for (int q = 0; q < ws * f / 2; ++q) {
      const uint8_t* from = &src[((y / f) * ws + 2 * (q / f)) * 2];
      const uint8_t* to = &out[(y * ws * f + 2 * q) * 2];
      ASSERT_EQ(to[0], std::min(from[0] + 2, 255)) << "row " << y << " pair " << q;
      ASSERT_EQ(to[2], std::min(from[2] + 2, 255)) << "row " << y << " pair " << q;
    }
}

// Constant luma n: n on source samples, n - 1 one pass between, n - 2 both between.
TEST(ScaleImage, ConstantLumaLosesOneStepPerInterpolatingPass) {
  const int ws = 12, hs = 7;
  for (int n : {2, 77, 128, 255}) {
    const Bytes src = Picture(
        ws, hs, [n](int, int) { return uint8_t(n); }, [](int x, int y) { return uint8_t(x * y); });
    for (int fx = 1; fx <= 5; ++fx)
      for (int fy = 1; fy <= 5; ++fy) {
        const int wd = ws * fx, hd = hs * fy;
        for (KernelPath path : {KernelPath::Reference, BestKernelPath()}) {
          const Bytes out = Scaled(src, ws, hs, wd, hd, path);
          for (int y = 0; y < hd; ++y)
            for (int x = 0; x < wd; ++x) {
              const int between = (x % fx != 0) + (y % fy != 0);
              ASSERT_EQ(YAt(out, wd, x, y), n - between)
                  << KernelPathName(path) << " n " << n << " factors " << fx << "x" << fy << " at "
                  << x << "," << y;
            }
        }
      }
  }
}

// A black-to-white step rings: just outside it the filter's sum is negative, just inside
// it is above 255. Both clamp rather than wrap.
TEST(ScaleImage, EdgeOvershootIsClampedNotWrapped) {
  const int ws = 8, hs = 1;
  const Bytes src = Picture(
      ws, hs, [](int x, int) { return uint8_t(x < 4 ? 0 : 255); }, [](int, int) { return 128; });
  for (KernelPath path : {KernelPath::Reference, BestKernelPath()}) {
    const Bytes out = Scaled(src, ws, hs, ws * 2, hs, path);
    EXPECT_EQ(YAt(out, 16, 5, 0), 0) << KernelPathName(path);    // sum about -26
    EXPECT_EQ(YAt(out, 16, 9, 0), 255) << KernelPathName(path);  // sum about 280
    EXPECT_EQ(YAt(out, 16, 7, 0), 127) << KernelPathName(path);  // midway
  }
  // The same edge vertically.
  const Bytes column = Picture(
      2, 8, [](int, int y) { return uint8_t(y < 4 ? 0 : 255); }, [](int, int) { return 128; });
  const Bytes out = Scaled(column, 2, 8, 2, 16);
  EXPECT_EQ(YAt(out, 2, 0, 5), 0);
  EXPECT_EQ(YAt(out, 2, 1, 9), 255);
}

TEST(ScaleImage, Yuy2MemberIsTheUyvyMemberWithBytesSwapped) {
  const int ws = 14, hs = 5;
  const Bytes uyvy = SmoothPicture(ws, hs, 31);
  const Bytes yuy2 = SwapPackedOrder(uyvy);
  for (KernelPath path : {KernelPath::Reference, BestKernelPath()}) {
    const Bytes a = Scaled(uyvy, ws, hs, ws * 3, hs * 2, path, kFourccUyvy);
    const Bytes b = Scaled(yuy2, ws, hs, ws * 3, hs * 2, path, kFourccYuy2);
    EXPECT_EQ(SwapPackedOrder(b), a) << KernelPathName(path);
  }
}

TEST(ScaleImage, UnsupportedFourccPairsLeaveTheDestinationUntouched) {
  const Bytes src = RandomBytes(8 * 2 * 2, 41);
  const uint32_t other = 0x30323449;  // 'I420'
  const std::pair<uint32_t, uint32_t> pairs[] = {
      {kFourccUyvy, kFourccYuy2}, {kFourccYuy2, kFourccUyvy}, {other, other}, {kFourccUyvy, other}};
  for (auto [from, to] : pairs) {
    Bytes dst(16 * 4 * 2, kSentinel);
    EXPECT_EQ(0, ScaleImage(src.data(), 8, 2, from, dst.data(), 16, 4, to));
    EXPECT_EQ(dst, Bytes(dst.size(), kSentinel)) << std::hex << from << " -> " << to;
  }
}

TEST(ScaleImage, UnusableGeometryLeavesTheDestinationUntouched) {
  const Bytes src = RandomBytes(64 * 4 * 2, 43);
  struct Geometry {
    int ws, hs, wd, hd;
  };
  const Geometry cases[] = {
      {8, 2, 20, 4},   // not a whole multiple across
      {8, 2, 16, 5},   // nor down
      {8, 2, 4, 2},    // smaller
      {7, 2, 14, 4},   // odd width
      {2, 1, 102, 1},  // factor 51, past the table
      {8, 0, 16, 0},   // empty
  };
  for (const Geometry& g : cases) {
    Bytes dst(2048, kSentinel);
    EXPECT_EQ(0,
              ScaleImage(src.data(), g.ws, g.hs, kFourccUyvy, dst.data(), g.wd, g.hd, kFourccUyvy));
    EXPECT_EQ(dst, Bytes(dst.size(), kSentinel))
        << g.ws << "x" << g.hs << " -> " << g.wd << "x" << g.hd;
  }
}

// ---------------------------------------------------------------------------------------
// Every faster path against the definition

class KernelPathTest : public testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (!KernelPathSupported(GetParam()))
      GTEST_SKIP() << KernelPathName(GetParam()) << " is not available here";
  }
};

void ExpectSameScale(KernelPath path, const Bytes& src, int ws, int hs, int wd, int hd,
                     uint32_t fourcc, size_t srcOffset, size_t dstOffset) {
  Placed in(src, srcOffset);
  const size_t size = static_cast<size_t>(wd) * hd * 2;
  Placed expect(size, dstOffset), actual(size, dstOffset);
  ScaleImageOn(KernelPath::Reference, in.data(), ws, hs, fourcc, expect.data(), wd, hd, fourcc);
  ScaleImageOn(path, in.data(), ws, hs, fourcc, actual.data(), wd, hd, fourcc);
  ASSERT_EQ(expect.buffer, actual.buffer)
      << KernelPathName(path) << " " << ws << "x" << hs << " -> " << wd << "x" << hd << " offsets "
      << srcOffset << "/" << dstOffset;
}

TEST_P(KernelPathTest, ScaleMatchesTheDefinitionOverSizesAndFactors) {
  uint32_t seed = 100;
  for (int ws : {2, 4, 6, 10, 14, 18, 34, 46})
    for (int hs : {1, 2, 3, 5, 9})
      for (auto [fx, fy] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 1}, std::pair{1, 4},
                            std::pair{5, 5}, std::pair{4, 3}, std::pair{2, 5}}) {
        const bool smooth = seed % 2 == 0;
        const Bytes src = smooth ? SmoothPicture(ws, hs, seed) : RandomBytes(ws * hs * 2, seed);
        ExpectSameScale(GetParam(), src, ws, hs, ws * fx, hs * fy,
                        seed % 3 ? kFourccUyvy : kFourccYuy2, seed % 7, (seed / 7) % 5);
        ++seed;
        if (HasFatalFailure()) return;
      }
}

TEST_P(KernelPathTest, ScaleMatchesTheDefinitionAtLargeFactors) {
  for (auto [fx, fy] : {std::pair{7, 2}, std::pair{13, 6}, std::pair{50, 3}, std::pair{2, 50}}) {
    const int ws = 6, hs = 3;
    ExpectSameScale(GetParam(), SmoothPicture(ws, hs, fx * 100 + fy), ws, hs, ws * fx, hs * fy,
                    kFourccUyvy, 1, 3);
    if (HasFatalFailure()) return;
  }
}

TEST_P(KernelPathTest, ScaleMatchesTheDefinitionOnAStillAtFactorFive) {
  static const Bytes src = SmoothPicture(352, 288, 5);
  static const Bytes expect = Scaled(src, 352, 288, 1760, 1440, KernelPath::Reference);
  EXPECT_TRUE(Scaled(src, 352, 288, 1760, 1440, GetParam()) == expect);
}

TEST_P(KernelPathTest, Bgr24MatchesTheDefinitionForEveryChromaPair) {
  // Row v, pair u: every (U, V) once, with random luma.
  const int w = 512, h = 256;
  Bytes frame = RandomBytes(w * h * 2, 51);
  for (int v = 0; v < 256; ++v)
    for (int u = 0; u < 256; ++u) {
      frame[(v * w + 2 * u) * 2] = static_cast<uint8_t>(u);
      frame[(v * w + 2 * u) * 2 + 2] = static_cast<uint8_t>(v);
    }
  for (bool fixed : {false, true}) {
    auto run = fixed ? UyvyFrameToBgr24FixedOn : UyvyFrameToBgr24FloatOn;
    Bytes expect(w * h * 3), actual(w * h * 3);
    run(KernelPath::Reference, frame.data(), w, h, expect.data());
    run(GetParam(), frame.data(), w, h, actual.data());
    ASSERT_EQ(expect, actual) << (fixed ? "fixed" : "float");
  }
}

// Where green is a whole number in exact arithmetic (U - 128 = -100, V - 128 = 100 gives
// Y0 - 37), double precision lands a hair below it and only the single-precision store
// brings it back; sweep every luma pair over such chroma.
TEST_P(KernelPathTest, Bgr24FloatMatchesTheDefinitionWhereGreenIsWhole) {
  std::vector<std::pair<int, int>> chroma;
  for (int tu = -128; tu < 128; ++tu)
    for (int tv = -128; tv < 128; ++tv)
      if ((34414 * tu + 71414 * tv) % 100000 == 0) chroma.push_back({tu + 128, tv + 128});
  ASSERT_GT(chroma.size(), 1u);
  const int w = 512, h = 256;
  Bytes frame(w * h * 2);
  for (auto [u, v] : chroma) {
    for (int y0 = 0; y0 < 256; ++y0)
      for (int y1 = 0; y1 < 256; ++y1) {
        uint8_t* p = &frame[(y0 * w + 2 * y1) * 2];
        p[0] = static_cast<uint8_t>(u);
        p[1] = static_cast<uint8_t>(y0);
        p[2] = static_cast<uint8_t>(v);
        p[3] = static_cast<uint8_t>(y1);
      }
    Bytes expect(w * h * 3), actual(w * h * 3);
    UyvyFrameToBgr24FloatOn(KernelPath::Reference, frame.data(), w, h, expect.data());
    UyvyFrameToBgr24FloatOn(GetParam(), frame.data(), w, h, actual.data());
    ASSERT_EQ(expect, actual) << "U " << u << " V " << v;
  }
}

TEST_P(KernelPathTest, Bgr24MatchesTheDefinitionOverWidthsAndOffsets) {
  uint32_t seed = 300;
  for (int w = 2; w <= 74; w += 2)
    for (int h : {1, 3}) {
      const Bytes frame = RandomBytes(w * h * 2, seed);
      for (bool fixed : {false, true}) {
        auto run = fixed ? UyvyFrameToBgr24FixedOn : UyvyFrameToBgr24FloatOn;
        Placed in(frame, seed % 5);
        Placed expect(w * h * 3, seed % 3), actual(w * h * 3, seed % 3);
        run(KernelPath::Reference, in.data(), w, h, expect.data());
        run(GetParam(), in.data(), w, h, actual.data());
        ASSERT_EQ(expect.buffer, actual.buffer) << (fixed ? "fixed " : "float ") << w << "x" << h;
      }
      ++seed;
    }
}

TEST_P(KernelPathTest, Yvu9MatchesTheDefinitionOverSizesAndOffsets) {
  uint32_t seed = 500;
  for (int w = 4; w <= 140; w += 4)
    for (int h : {4, 8, 12}) {
      const Bytes frame = RandomBytes(w * h * 2, seed);
      Placed in(frame, seed % 7);
      Placed expect(w * h * 9 / 8, seed % 3), actual(w * h * 9 / 8, seed % 3);
      ASSERT_TRUE(UyvyToYvu9On(KernelPath::Reference, in.data(), w, h, expect.data()));
      ASSERT_TRUE(UyvyToYvu9On(GetParam(), in.data(), w, h, actual.data()));
      ASSERT_EQ(expect.buffer, actual.buffer) << w << "x" << h;
      ++seed;
    }
}

// Eight samples whose weighted sum for phase r of factor f is a whole number in exact
// decimal arithmetic, so that its double-precision value sits a rounding error either
// side of it and truncates one way or the other depending on the order of the additions.
// Any reordering, fused multiply-add or single-precision shortcut shows up here.
std::vector<std::array<uint8_t, 8>> KnifeEdgeSamples(int f, int r, int count, uint32_t seed) {
  long long millionths[8];
  for (int t = 0; t < 8; ++t)
    millionths[t] = std::llround(KernelTable[f][std::abs(f * (3 - t) + r)] * 1e6);
  // The last two samples are solved for: which values of them complete a whole number.
  std::unordered_map<long long, int> lastTwoByResidue;
  for (int pair = 0; pair < 65536; ++pair) {
    const long long part = (pair >> 8) * millionths[6] + (pair & 255) * millionths[7];
    lastTwoByResidue[(part % 1000000 + 1000000) % 1000000] = pair;
  }
  std::mt19937 rng(seed);
  std::vector<std::array<uint8_t, 8>> found;
  while (static_cast<int>(found.size()) < count) {
    std::array<uint8_t, 8> s;
    long long sum = 0;
    for (int t = 0; t < 6; ++t) {
      s[t] = static_cast<uint8_t>(rng());
      sum += s[t] * millionths[t];
    }
    const auto hit = lastTwoByResidue.find(((-sum) % 1000000 + 1000000) % 1000000);
    if (hit == lastTwoByResidue.end()) continue;
    s[6] = static_cast<uint8_t>(hit->second >> 8);
    s[7] = static_cast<uint8_t>(hit->second & 255);
    const long long total = sum + s[6] * millionths[6] + s[7] * millionths[7];
    if (total > 0 && total < 255000000) found.push_back(s);
  }
  return found;
}

TEST_P(KernelPathTest, ScaleTruncatesKnifeEdgeSumsAsTheDefinition) {
  for (int f = 2; f <= 5; ++f) {
    for (int r = 1; r < f; ++r) {
      // Horizontally: each row holds one set as samples 0..7; phase r after sample 3. Forty
      // sets make the vertical pass as wide as the widest vector loop and then some.
      const int rows = 40;
      const auto sets = KnifeEdgeSamples(f, r, rows, 1000 * f + r);
      Bytes across(8 * rows * 2, 128), down(rows * 8 * 2, 128);
      for (int i = 0; i < rows; ++i)
        for (int t = 0; t < 8; ++t) {
          across[(i * 8 + t) * 2 + 1] = sets[i][t];
          down[(t * rows + i) * 2 + 1] = sets[i][t];  // and as columns for the vertical pass
        }
      const Bytes wideRef = Scaled(across, 8, rows, 8 * f, rows, KernelPath::Reference);
      const Bytes tallRef = Scaled(down, rows, 8, rows, 8 * f, KernelPath::Reference);
      ASSERT_EQ(Scaled(across, 8, rows, 8 * f, rows, GetParam()), wideRef) << f << "/" << r;
      ASSERT_EQ(Scaled(down, rows, 8, rows, 8 * f, GetParam()), tallRef) << f << "/" << r;
    }
  }
}

#if defined(__i386__) && defined(__GNUC__)
// Calls fn(arg) with the stack 4 bytes off the 16-byte alignment compiled code expects:
// 32-bit Windows promises callbacks and new threads no more than 4-byte alignment.
void CallOnStackOffBy4(void (*fn)(void*), void* arg) {
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "andl $-16, %%esp\n\t"
      "subl $8, %%esp\n\t"
      "pushl %[arg]\n\t"
      "call *%[fn]\n\t"
      "movl %%esi, %%esp"
      :
      : [fn] "r"(fn), [arg] "r"(arg)
      : "esi", "eax", "ecx", "edx", "memory", "cc");
}

struct KernelRun {
  KernelPath path;
  Bytes src, scaled, bgrFloat, bgrFixed, yvu9;
};

// Sizes that take the vector loops and their tails.
void RunEveryKernel(void* context) {
  auto& run = *static_cast<KernelRun*>(context);
  ScaleImageOn(run.path, run.src.data(), 36, 8, kFourccUyvy, run.scaled.data(), 108, 24,
               kFourccUyvy);
  UyvyFrameToBgr24FloatOn(run.path, run.src.data(), 36, 8, run.bgrFloat.data());
  UyvyFrameToBgr24FixedOn(run.path, run.src.data(), 36, 8, run.bgrFixed.data());
  UyvyToYvu9On(run.path, run.src.data(), 36, 8, run.yvu9.data());
}

KernelRun RunOn(KernelPath path, bool offBy4) {
  KernelRun run{path,
                SmoothPicture(36, 8, 77),
                Bytes(108 * 24 * 2, kSentinel),
                Bytes(36 * 8 * 3, kSentinel),
                Bytes(36 * 8 * 3, kSentinel),
                Bytes(36 * 8 * 9 / 8, kSentinel)};
  if (offBy4)
    CallOnStackOffBy4(RunEveryKernel, &run);
  else
    RunEveryKernel(&run);
  return run;
}

TEST_P(KernelPathTest, RunsOnAStackAlignedTo4BytesOnly) {
  const KernelRun expected = RunOn(KernelPath::Reference, false);
  const KernelRun actual = RunOn(GetParam(), true);
  EXPECT_EQ(actual.scaled, expected.scaled);
  EXPECT_EQ(actual.bgrFloat, expected.bgrFloat);
  EXPECT_EQ(actual.bgrFixed, expected.bgrFixed);
  EXPECT_EQ(actual.yvu9, expected.yvu9);
}
#endif

// The cases above are only a test if the definition itself falls both ways on them.
TEST(ScaleImage, KnifeEdgeSumsFallBothWays) {
  int below = 0, on = 0;
  for (int f = 2; f <= 5; ++f)
    for (int r = 1; r < f; ++r)
      for (const auto& s : KnifeEdgeSamples(f, r, 24, 1000 * f + r)) {
        Bytes row(16, 128);
        for (int t = 0; t < 8; ++t) row[2 * t + 1] = s[t];
        long long exact = 0;
        for (int t = 0; t < 8; ++t)
          exact += s[t] * std::llround(KernelTable[f][std::abs(f * (3 - t) + r)] * 1e6);
        const int value =
            YAt(Scaled(row, 8, 1, 8 * f, 1, KernelPath::Reference), 8 * f, 3 * f + r, 0);
        ASSERT_TRUE(value == exact / 1000000 || value == exact / 1000000 - 1);
        (value == exact / 1000000 ? on : below)++;
      }
  EXPECT_GT(below, 10);
  EXPECT_GT(on, 10);
}

INSTANTIATE_TEST_SUITE_P(Faster, KernelPathTest, testing::ValuesIn(FasterPaths()),
                         [](const testing::TestParamInfo<KernelPath>& info) {
                           return std::string(KernelPathName(info.param));
                         });

TEST(PixelKernelDispatch, BestPathIsSupportedAndUsedByThePublicEntryPoints) {
  const KernelPath best = BestKernelPath();
  EXPECT_TRUE(KernelPathSupported(best));
  EXPECT_NE(best, KernelPath::Reference);
#if defined(__x86_64__) || defined(_M_X64)
  EXPECT_NE(best, KernelPath::Portable);  // every x86-64 has SSE2
#endif
  const Bytes src = SmoothPicture(20, 6, 61);
  Bytes viaPublic(40 * 18 * 2), viaBest(40 * 18 * 2);
  ScaleImage(src.data(), 20, 6, kFourccUyvy, viaPublic.data(), 40, 18, kFourccUyvy);
  ScaleImageOn(best, src.data(), 20, 6, kFourccUyvy, viaBest.data(), 40, 18, kFourccUyvy);
  EXPECT_EQ(viaPublic, viaBest);
}

}  // namespace
