// The pixel kernels against their plain definition and against the libraries a user would
// reach for to do the nearest job: libyuv and FFmpeg's libswscale. Every benchmark is
// repeated and keeps its best run; the summary gives the ratios the kernels are held to.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSummary.h"
#include "capture/FrameCopy.h"
#include "capture/PixelKernels.h"

#if defined(LUMETRA_BENCH_SWSCALE)
extern "C" {
#include <libavutil/log.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}
#endif
#if defined(LUMETRA_BENCH_LIBYUV)
#include <libyuv.h>
#endif

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kFieldWidth = 352, kFieldHeight = 240;  // a 60 Hz field: AVI frames
constexpr int kStillWidth = 352, kStillHeight = 288;  // a 50 Hz still, enlarged x5
constexpr int kStillFactor = 5;

// A picture with gradients, edges and noise, as UYVY.
Bytes TestPicture(int width, int height) {
  std::mt19937 rng(2024);
  Bytes out(static_cast<size_t>(width) * height * 2);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &out[(static_cast<size_t>(y) * width + x) * 2];
      const int luma = (x * 255 / width + ((x / 32 + y / 32) % 2) * 60 + rng() % 24) % 256;
      p[0] = static_cast<uint8_t>(x % 2 ? 128 + (y - height / 2) / 2 : 255 * x / width);
      p[1] = static_cast<uint8_t>(luma);
    }
  return out;
}

const Bytes& Field() {
  static const Bytes field = TestPicture(kFieldWidth, kFieldHeight);
  return field;
}

const Bytes& Still() {
  static const Bytes still = TestPicture(kStillWidth, kStillHeight);
  return still;
}

void Repeated(benchmark::internal::Benchmark* b) {
  b->Repetitions(12)
      ->DisplayAggregatesOnly(true)
      ->ComputeStatistics(
          "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->MinTime(0.05)
      ->Unit(benchmark::kMicrosecond);
}

std::string PathBench(const char* job, KernelPath path) {
  return std::string(job) + "/" + KernelPathName(path);
}

// ---------------------------------------------------------------------------------------
// Our kernels, on every path this processor runs

void RegisterKernelBenchmarks() {
  for (KernelPath path : {KernelPath::Reference, KernelPath::Portable, KernelPath::Sse2,
                          KernelPath::Ssse3, KernelPath::Avx2, KernelPath::Avx512}) {
    if (!KernelPathSupported(path)) continue;
    Repeated(benchmark::RegisterBenchmark(
        PathBench("Bgr24Fixed", path).c_str(), [path](benchmark::State& state) {
          Bytes out(kFieldWidth * kFieldHeight * 3);
          for (auto _ : state) {
            UyvyFrameToBgr24FixedOn(path, Field().data(), kFieldWidth, kFieldHeight, out.data());
            benchmark::DoNotOptimize(out.data());
          }
        }));
    Repeated(benchmark::RegisterBenchmark(
        PathBench("Bgr24Float", path).c_str(), [path](benchmark::State& state) {
          Bytes out(kFieldWidth * kFieldHeight * 3);
          for (auto _ : state) {
            UyvyFrameToBgr24FloatOn(path, Field().data(), kFieldWidth, kFieldHeight, out.data());
            benchmark::DoNotOptimize(out.data());
          }
        }));
    Repeated(benchmark::RegisterBenchmark(
        PathBench("Yvu9", path).c_str(), [path](benchmark::State& state) {
          Bytes out(kFieldWidth * kFieldHeight * 9 / 8);
          for (auto _ : state) {
            UyvyToYvu9On(path, Field().data(), kFieldWidth, kFieldHeight, out.data());
            benchmark::DoNotOptimize(out.data());
          }
        }));
    Repeated(benchmark::RegisterBenchmark(
        PathBench("Scale5x", path).c_str(), [path](benchmark::State& state) {
          const int wd = kStillWidth * kStillFactor, hd = kStillHeight * kStillFactor;
          Bytes out(static_cast<size_t>(wd) * hd * 2);
          for (auto _ : state) {
            ScaleImageOn(path, Still().data(), kStillWidth, kStillHeight, kFourccUyvy, out.data(),
                         wd, hd, kFourccUyvy);
            benchmark::DoNotOptimize(out.data());
          }
        }));
  }
}

// ---------------------------------------------------------------------------------------
// The frame copy: a field out of an overlay surface, 8 bytes into rows 11 and on

struct Surface {
  static constexpr size_t kPitch = 1024;
  Bytes bytes = Bytes(kPitch * (11 + kFieldHeight + 1), 0x80);
  const uint8_t* Picture() const { return bytes.data() + 11 * kPitch + 8; }
  static constexpr size_t kSkip = kPitch - 2 * kFieldWidth;
};

void CopyFrameBench(benchmark::State& state,
                    void (*copy)(const uint8_t*, uint8_t*, size_t, int, int)) {
  const Surface surface;
  Bytes out(kFieldWidth * kFieldHeight * 2);
  for (auto _ : state) {
    copy(surface.Picture(), out.data(), Surface::kSkip, kFieldWidth, kFieldHeight);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void BM_CopyFrame_Mmx(benchmark::State& state) {
  CopyFrameBench(state, CopyFrameMmx);
}
void BM_CopyFrame_Plain(benchmark::State& state) {
  CopyFrameBench(state, CopyFramePlain);
}
void BM_CopyFrame_Memcpy(benchmark::State& state) {
  CopyFrameBench(state, [](const uint8_t* src, uint8_t* dst, size_t skip, int w, int h) {
    const size_t row = static_cast<size_t>(w) * 2;
    for (int y = 0; y < h; ++y) std::memcpy(dst + y * row, src + y * (row + skip), row);
  });
}
BENCHMARK(BM_CopyFrame_Mmx)->Apply(Repeated);
BENCHMARK(BM_CopyFrame_Plain)->Apply(Repeated);
BENCHMARK(BM_CopyFrame_Memcpy)->Apply(Repeated);

// ---------------------------------------------------------------------------------------
// libyuv: UYVY to ARGB, then ARGB to RGB24 (B, G, R in memory) turned upside down

#if defined(LUMETRA_BENCH_LIBYUV)
void BM_Bgr24_Libyuv(benchmark::State& state) {
  Bytes argb(kFieldWidth * kFieldHeight * 4), out(kFieldWidth * kFieldHeight * 3);
  for (auto _ : state) {
    libyuv::UYVYToARGB(Field().data(), kFieldWidth * 2, argb.data(), kFieldWidth * 4, kFieldWidth,
                       kFieldHeight);
    libyuv::ARGBToRGB24(argb.data(), kFieldWidth * 4, out.data(), kFieldWidth * 3, kFieldWidth,
                        -kFieldHeight);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Bgr24_Libyuv)->Apply(Repeated);
#endif

// ---------------------------------------------------------------------------------------
// libswscale: one context per job, made outside the timed loop

#if defined(LUMETRA_BENCH_SWSCALE)
struct SwsFree {
  void operator()(SwsContext* c) const { sws_freeContext(c); }
};
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;

SwsPtr Sws(int ws, int hs, AVPixelFormat from, int wd, int hd, AVPixelFormat to, int flags) {
  av_log_set_level(AV_LOG_ERROR);
  return SwsPtr(sws_getContext(ws, hs, from, wd, hd, to, flags, nullptr, nullptr, nullptr));
}

void BM_Bgr24_SwscalePoint(benchmark::State& state) {
  const SwsPtr sws = Sws(kFieldWidth, kFieldHeight, AV_PIX_FMT_UYVY422, kFieldWidth, kFieldHeight,
                         AV_PIX_FMT_BGR24, SWS_POINT);
  if (!sws) return state.SkipWithError("no swscale context");
  // Full-range luma, as our converters take it.
  const int* bt601 = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(sws.get(), bt601, 1, bt601, 1, 0, 1 << 16, 1 << 16);
  Bytes out(kFieldWidth * kFieldHeight * 3);
  const uint8_t* src[1] = {Field().data()};
  const int srcStride[1] = {kFieldWidth * 2};
  uint8_t* dst[1] = {out.data() + (kFieldHeight - 1) * kFieldWidth * 3};  // bottom row first
  const int dstStride[1] = {-kFieldWidth * 3};
  for (auto _ : state) {
    sws_scale(sws.get(), src, srcStride, 0, kFieldHeight, dst, dstStride);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Bgr24_SwscalePoint)->Apply(Repeated);

void BM_Yvu9_SwscaleArea(benchmark::State& state) {
  const SwsPtr sws = Sws(kFieldWidth, kFieldHeight, AV_PIX_FMT_UYVY422, kFieldWidth, kFieldHeight,
                         AV_PIX_FMT_YUV410P, SWS_AREA);
  if (!sws) return state.SkipWithError("no swscale context");
  const int quarter = kFieldWidth / 4 * (kFieldHeight / 4);
  Bytes out(kFieldWidth * kFieldHeight + 2 * quarter);
  const uint8_t* src[1] = {Field().data()};
  const int srcStride[1] = {kFieldWidth * 2};
  uint8_t* y = out.data();
  uint8_t* v = y + kFieldWidth * kFieldHeight;
  uint8_t* dst[3] = {y, v + quarter, v};  // planes Y, U, V; stored Y, V, U as in YVU9
  const int dstStride[3] = {kFieldWidth, kFieldWidth / 4, kFieldWidth / 4};
  for (auto _ : state) {
    sws_scale(sws.get(), src, srcStride, 0, kFieldHeight, dst, dstStride);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_Yvu9_SwscaleArea)->Apply(Repeated);

void ScaleSwscale(benchmark::State& state, int flags) {
  const int wd = kStillWidth * kStillFactor, hd = kStillHeight * kStillFactor;
  const SwsPtr sws =
      Sws(kStillWidth, kStillHeight, AV_PIX_FMT_UYVY422, wd, hd, AV_PIX_FMT_UYVY422, flags);
  if (!sws) return state.SkipWithError("no swscale context");
  Bytes out(static_cast<size_t>(wd) * hd * 2);
  const uint8_t* src[1] = {Still().data()};
  const int srcStride[1] = {kStillWidth * 2};
  uint8_t* dst[1] = {out.data()};
  const int dstStride[1] = {wd * 2};
  for (auto _ : state) {
    sws_scale(sws.get(), src, srcStride, 0, kStillHeight, dst, dstStride);
    benchmark::DoNotOptimize(out.data());
  }
}
void BM_Scale5x_SwscaleBicubic(benchmark::State& state) {
  ScaleSwscale(state, SWS_BICUBIC);
}
void BM_Scale5x_SwscaleSpline(benchmark::State& state) {
  ScaleSwscale(state, SWS_SPLINE);
}
BENCHMARK(BM_Scale5x_SwscaleBicubic)->Apply(Repeated);
BENCHMARK(BM_Scale5x_SwscaleSpline)->Apply(Repeated);
#endif

// ---------------------------------------------------------------------------------------
// Summary: ratios in this run against the goals

// "a / b: r (goal ...)" when both ran.
void PrintRatio(const BenchTimes& t, const char* label, const std::string& a, const std::string& b,
                const char* target) {
  const double ta = BenchTime(t, a), tb = BenchTime(t, b);
  if (ta <= 0 || tb <= 0) return;
  std::printf("  %-44s %7.2fx  %s\n", label, ta / tb, target);
}

[[maybe_unused]] const bool kRegistered = (RegisterKernelBenchmarks(), true);

[[maybe_unused]] const bool kKernelSummary = AddBenchSummary([](const BenchTimes& t) {
  const KernelPath best = BestKernelPath();
  const std::string fixed = PathBench("Bgr24Fixed", best), yvu9 = PathBench("Yvu9", best);
  const std::string scale = PathBench("Scale5x", best), flt = PathBench("Bgr24Float", best);
  if (BenchTime(t, fixed) + BenchTime(t, yvu9) + BenchTime(t, scale) +
          BenchTime(t, "BM_CopyFrame_Mmx") <=
      0)
    return;
  std::printf("\nPixel kernels (best path here: %s), best of repeated runs:\n",
              KernelPathName(best));
  PrintRatio(t, "UyvyToBgr24Fixed / libyuv route", fixed, "BM_Bgr24_Libyuv", "(goal <= 0.6)");
  PrintRatio(t, "UyvyToBgr24Fixed / swscale point", fixed, "BM_Bgr24_SwscalePoint",
             "(libyuv's route: about 0.17)");
  PrintRatio(t, "swscale area / UyvyToYvu9", "BM_Yvu9_SwscaleArea", yvu9, "faster (goal >= 12)");
  PrintRatio(t, "swscale bicubic / ScaleImage x5", "BM_Scale5x_SwscaleBicubic", scale,
             "faster (goal >= 4)");
  PrintRatio(t, "swscale spline / ScaleImage x5", "BM_Scale5x_SwscaleSpline", scale, "faster");
  PrintRatio(t, "CopyFrameMmx / memcpy of the same rows", "BM_CopyFrame_Mmx", "BM_CopyFrame_Memcpy",
             "(goal <= 1.1)");
  PrintRatio(t, "CopyFramePlain / memcpy of the same rows", "BM_CopyFrame_Plain",
             "BM_CopyFrame_Memcpy", "");
  const std::string reference = KernelPathName(KernelPath::Reference);
  PrintRatio(t, "plain reference / UyvyToBgr24Fixed", "Bgr24Fixed/" + reference, fixed, "faster");
  PrintRatio(t, "plain reference / UyvyToBgr24Float", "Bgr24Float/" + reference, flt, "faster");
  PrintRatio(t, "plain reference / UyvyToYvu9", "Yvu9/" + reference, yvu9, "faster");
  PrintRatio(t, "plain reference / ScaleImage x5", "Scale5x/" + reference, scale, "faster");
});

}  // namespace
