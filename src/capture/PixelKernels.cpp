// Drivers of the pixel kernels: they walk frames and lines, leave the arithmetic to row
// kernels (plain C++ here, vector builds in Kernels*.cpp) and pick the fastest set the
// processor runs.
//
// The enlarger works in a different order from its definition but computes each sample
// the same way: the horizontal pass runs one phase (destination column mod factor) at a
// time over a line of doubles, and the vertical pass runs along rows with all phases of a
// source row at once, on a luma-only intermediate.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "capture/KernelRows.h"
#include "capture/PixelKernels.h"

namespace kernel_rows {
namespace {

uint8_t ClampSum(double sum) {
  if (sum < 0) sum = 0;
  if (sum > 255) sum = 255;
  return static_cast<uint8_t>(sum);
}

void FilterColumnsPortable(const double* const* rows, int width, const double* taps, int phases,
                           uint8_t* const* out) {
  FilterColumnsScalar(rows, 0, width, taps, phases, out);
}

void Bgr24FloatPortable(const uint8_t* uyvy, int pairs, uint8_t* bgr) {
  for (int k = 0; k < pairs; ++k) UyvyToBgr24Float(uyvy + 4 * k, bgr + 6 * k);
}

}  // namespace

void FilterRowScalar(const double* ext, int count, const double* taps, uint8_t* out) {
  for (int i = 0; i < count; ++i) {
    double sum = 0;
    for (int t = 0; t < 8; ++t) sum += ext[i + t] * taps[t];
    out[i] = ClampSum(sum);
  }
}

void FilterColumnsScalar(const double* const* rows, int first, int width, const double* taps,
                         int phases, uint8_t* const* out) {
  for (int ph = 0; ph < phases; ++ph) {
    for (int i = first; i < width; ++i) {
      double sum = 0;
      for (int t = 0; t < 8; ++t) sum += rows[t][i] * taps[8 * ph + t];
      out[ph][i] = ClampSum(sum);
    }
  }
}

void WidenScalar(const uint8_t* bytes, int count, double* out) {
  for (int i = 0; i < count; ++i) out[i] = bytes[i];
}

void InterleaveScalar(const uint8_t* chroma, const uint8_t* luma, int width, bool lumaFirst,
                      uint8_t* packed) {
  const int c = lumaFirst ? 1 : 0;
  for (int i = 0; i < width; ++i) {
    packed[2 * i + c] = chroma[i];
    packed[2 * i + 1 - c] = luma[i];
  }
}

// The tables here, the vector paths' 16-bit pieces: the same numbers (PixelTables.cpp).
void Bgr24FixedScalar(const uint8_t* uyvy, int pairs, uint8_t* bgr) {
  for (int k = 0; k < pairs; ++k) UyvyToBgr24Fixed(uyvy + 4 * k, bgr + 6 * k);
}

void LumaRowScalar(const uint8_t* uyvy, int width, uint8_t* luma) {
  for (int i = 0; i < width; ++i) luma[i] = uyvy[2 * i + 1];
}

void ChromaBlocksScalar(const uint8_t* uyvy, ptrdiff_t stride, int blocks, uint8_t* v, uint8_t* u) {
  for (int b = 0; b < blocks; ++b) {
    int sumU = 0, sumV = 0;
    for (int y = 0; y < 4; ++y) {
      const uint8_t* pairs = uyvy + y * stride + 8 * b;
      sumU += pairs[0] + pairs[4];
      sumV += pairs[2] + pairs[6];
    }
    v[b] = static_cast<uint8_t>(sumV >> 3);
    u[b] = static_cast<uint8_t>(sumU >> 3);
  }
}

const RowKernels kPortableRows = {
    FilterRowScalar,    FilterColumnsPortable, WidenScalar,   InterleaveScalar,
    Bgr24FloatPortable, Bgr24FixedScalar,      LumaRowScalar, ChromaBlocksScalar,
};

}  // namespace kernel_rows

namespace {

using kernel_rows::PackedLayout;
using kernel_rows::RowKernels;

constexpr int kMaxFactor = kKernelFactors - 1;
constexpr int kRingRows = 16;

template <typename T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

// Where sample k of an n-sample line reads from when the line is mirrored about its first
// and last samples (repeatedly, for lines shorter than the filter).
int MirrorIndex(int k, int n) {
  if (n == 1) return 0;
  while (k < 0 || k >= n) k = k < 0 ? -k : 2 * n - 2 - k;
  return k;
}

// The eight weights of phase r (1 <= r < f): tap t reads source sample p - 3 + t.
void PhaseTaps(int f, int r, double* taps) {
  for (int t = 0; t < 8; ++t) taps[t] = KernelTable[f][std::abs(f * (3 - t) + r)];
}

bool ScalePacked(const RowKernels& k, const uint8_t* src, int ws, int hs,
                 const PackedLayout& layout, uint8_t* dst, int wd, int hd) {
  const int fx = wd / ws, fy = hd / hs;
  auto ext = TryAllocate<double>(ws + 7);
  auto phaseOut = TryAllocate<uint8_t>(ws);
  auto luma = TryAllocate<uint8_t>(static_cast<size_t>(wd) * hs);
  auto chroma = TryAllocate<uint8_t>(wd);
  auto filtered = TryAllocate<uint8_t>(static_cast<size_t>(wd) * (fy - 1) + 1);
  const int ringRows = fy == 1 ? 0 : hs < kRingRows ? hs : kRingRows;  // slot: row % kRingRows
  auto ring = TryAllocate<double>(static_cast<size_t>(wd) * ringRows + 1);
  if (!ext || !phaseOut || !luma || !chroma || !filtered || !ring) return false;

  // Horizontal: source samples land on every fx-th column, each phase fills its own.
  double taps[8 * kMaxFactor];
  for (int y = 0; y < hs; ++y) {
    const uint8_t* in = src + static_cast<size_t>(y) * ws * 2 + layout.Y;
    uint8_t* out = luma.get() + static_cast<size_t>(y) * wd;
    for (int x = -3; x < 0; ++x) ext[x + 3] = in[2 * MirrorIndex(x, ws)];
    for (int x = 0; x < ws; ++x) ext[x + 3] = in[2 * x];
    for (int x = ws; x < ws + 4; ++x) ext[x + 3] = in[2 * MirrorIndex(x, ws)];
    for (int x = 0; x < ws; ++x) out[x * fx] = in[2 * x];
    for (int r = 1; r < fx; ++r) {
      PhaseTaps(fx, r, taps);
      k.FilterRow(ext.get(), ws, taps, phaseOut.get());
      for (int x = 0; x < ws; ++x) out[x * fx + r] = phaseOut[x];
    }
  }

  // Vertical: each source row and the fy - 1 rows after it, which share its eight taps.
  // The filter reads its rows as doubles, each luma row converted once into a ring: the
  // eight rows a source row needs (mirrored at the ends) lie within nine consecutive ones,
  // so sixteen slots never evict a row still in use.
  const uint8_t* const lumaBase = luma.get();
  auto lumaRow = [&](int y) { return lumaBase + static_cast<size_t>(MirrorIndex(y, hs)) * wd; };
  int ringRow[kRingRows];
  for (int& r : ringRow) r = -1;
  auto doubleRow = [&](int y) {
    const int r = MirrorIndex(y, hs);
    double* slot = ring.get() + static_cast<size_t>(r % kRingRows) * wd;
    if (ringRow[r % kRingRows] != r) {
      k.Widen(lumaBase + static_cast<size_t>(r) * wd, wd, slot);
      ringRow[r % kRingRows] = r;
    }
    return slot;
  };
  for (int r = 1; r < fy; ++r) PhaseTaps(fy, r, taps + 8 * (r - 1));
  uint8_t* phaseRows[kMaxFactor];
  for (int r = 1; r < fy; ++r) phaseRows[r - 1] = filtered.get() + static_cast<size_t>(r - 1) * wd;
  const bool lumaFirst = layout.Y == 0;
  for (int y = 0; y < hs; ++y) {
    if (fy > 1) {
      const double* window[8];
      for (int t = 0; t < 8; ++t) window[t] = doubleRow(y - 3 + t);
      k.FilterColumns(window, wd, taps, fy - 1, phaseRows);
    }
    const uint8_t* in = src + static_cast<size_t>(y) * ws * 2;
    for (int m = 0; m < ws / 2; ++m) {
      // Saturating: the lift must not wrap the strongest chroma round to the weakest.
      const uint8_t u = in[4 * m + layout.U], v = in[4 * m + layout.V];
      const uint8_t pair[2] = {static_cast<uint8_t>(u > 253 ? 255 : u + 2),
                               static_cast<uint8_t>(v > 253 ? 255 : v + 2)};
      for (int q = m * fx; q < m * fx + fx; ++q) std::memcpy(chroma.get() + 2 * q, pair, 2);
    }
    for (int r = 0; r < fy; ++r) {
      const uint8_t* row = r == 0 ? lumaRow(y) : phaseRows[r - 1];
      k.Interleave(chroma.get(), row, wd, lumaFirst,
                   dst + static_cast<size_t>(y * fy + r) * wd * 2);
    }
  }
  return true;
}

void Bgr24Frame(kernel_rows::Bgr24RowFn row, const uint8_t* uyvy, int width, int height,
                uint8_t* bgr) {
  for (int r = 0; r < height; ++r)
    row(uyvy + static_cast<size_t>(height - 1 - r) * width * 2, width / 2,
        bgr + static_cast<size_t>(r) * width * 3);
}

void Yvu9Frame(const RowKernels& k, const uint8_t* uyvy, int width, int height, uint8_t* yvu9) {
  const size_t pitch = static_cast<size_t>(width) * 2;
  for (int y = 0; y < height; ++y)
    k.LumaRow(uyvy + y * pitch, width, yvu9 + static_cast<size_t>(y) * width);
  const size_t blocks = static_cast<size_t>(width / 4);
  uint8_t* v = yvu9 + static_cast<size_t>(width) * height;
  uint8_t* u = v + blocks * (height / 4);
  for (int by = 0; by < height / 4; ++by)
    k.ChromaBlocks(uyvy + 4 * by * pitch, static_cast<ptrdiff_t>(pitch), width / 4, v + by * blocks,
                   u + by * blocks);
}

// Each vector set fills what it speeds up; the rest comes from the set below it.
RowKernels Over(const RowKernels& top, const RowKernels& below) {
  RowKernels k = below;
  if (top.FilterRow) k.FilterRow = top.FilterRow;
  if (top.FilterColumns) k.FilterColumns = top.FilterColumns;
  if (top.Widen) k.Widen = top.Widen;
  if (top.Interleave) k.Interleave = top.Interleave;
  if (top.Bgr24Float) k.Bgr24Float = top.Bgr24Float;
  if (top.Bgr24Fixed) k.Bgr24Fixed = top.Bgr24Fixed;
  if (top.LumaRow) k.LumaRow = top.LumaRow;
  if (top.ChromaBlocks) k.ChromaBlocks = top.ChromaBlocks;
  return k;
}

const RowKernels& RowsFor(KernelPath path) {
  static const RowKernels sse2 = Over(kernel_rows::kSse2Rows, kernel_rows::kPortableRows);
  static const RowKernels ssse3 = Over(kernel_rows::kSsse3Rows, sse2);
  static const RowKernels avx2 = Over(kernel_rows::kAvx2Rows, ssse3);
  static const RowKernels avx512 = Over(kernel_rows::kAvx512Rows, avx2);
  switch (path) {
    case KernelPath::Sse2:
      return sse2;
    case KernelPath::Ssse3:
      return ssse3;
    case KernelPath::Avx2:
      return avx2;
    case KernelPath::Avx512:
      return avx512;
    default:
      return kernel_rows::kPortableRows;
  }
}

bool ProcessorRuns(KernelPath path) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();
  switch (path) {
    case KernelPath::Sse2:
      return __builtin_cpu_supports("sse2");
    case KernelPath::Ssse3:
      return __builtin_cpu_supports("ssse3");
    case KernelPath::Avx2:
      return __builtin_cpu_supports("avx2");
    case KernelPath::Avx512:
      // The set below it comes with it: this one fills only what it speeds up.
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vbmi");
    default:
      return true;
  }
#else
  return path == KernelPath::Reference || path == KernelPath::Portable;
#endif
}

bool ScaleGeometryUsable(int ws, int hs, int wd, int hd) {
  if (ws < 2 || hs < 1 || ws % 2 != 0) return false;
  const int fx = wd / ws, fy = hd / hs;
  return fx >= 1 && fx <= kMaxFactor && fy >= 1 && fy <= kMaxFactor && wd == fx * ws &&
         hd == fy * hs;
}

bool KernelSetBuilt(const RowKernels& k) {
  return k.FilterRow || k.FilterColumns || k.Widen || k.Interleave || k.Bgr24Float ||
         k.Bgr24Fixed || k.LumaRow || k.ChromaBlocks;
}

}  // namespace

const char* KernelPathName(KernelPath path) {
  switch (path) {
    case KernelPath::Reference:
      return "Reference";
    case KernelPath::Portable:
      return "Portable";
    case KernelPath::Sse2:
      return "SSE2";
    case KernelPath::Ssse3:
      return "SSSE3";
    case KernelPath::Avx2:
      return "AVX2";
    case KernelPath::Avx512:
      return "AVX512";
  }
  return "?";
}

bool KernelPathSupported(KernelPath path) {
  const kernel_rows::RowKernels* own = nullptr;
  switch (path) {
    case KernelPath::Reference:
    case KernelPath::Portable:
      return true;
    case KernelPath::Sse2:
      own = &kernel_rows::kSse2Rows;
      break;
    case KernelPath::Ssse3:
      own = &kernel_rows::kSsse3Rows;
      break;
    case KernelPath::Avx2:
      own = &kernel_rows::kAvx2Rows;
      break;
    case KernelPath::Avx512:
      own = &kernel_rows::kAvx512Rows;
      break;
  }
  // A set left empty means this build has no code for those instructions.
  return own && KernelSetBuilt(*own) && ProcessorRuns(path);
}

KernelPath BestKernelPath() {
  static const KernelPath best = [] {
    for (KernelPath p : {KernelPath::Avx512, KernelPath::Avx2, KernelPath::Ssse3, KernelPath::Sse2})
      if (KernelPathSupported(p)) return p;
    return KernelPath::Portable;
  }();
  return best;
}

namespace {

// A path this processor cannot run falls back to the portable rows rather than fault.
KernelPath Runnable(KernelPath path) {
  return KernelPathSupported(path) ? path : KernelPath::Portable;
}

}  // namespace

int ScaleImageOn(KernelPath path, const uint8_t* source, int sourceWidth, int sourceHeight,
                 uint32_t sourceFourcc, uint8_t* destination, int destinationWidth,
                 int destinationHeight, uint32_t destinationFourcc) {
  path = Runnable(path);
  const PackedLayout* layout = nullptr;
  if (sourceFourcc == kFourccUyvy && destinationFourcc == kFourccUyvy)
    layout = &kernel_rows::kUyvyLayout;
  if (sourceFourcc == kFourccYuy2 && destinationFourcc == kFourccYuy2)
    layout = &kernel_rows::kYuy2Layout;
  if (!layout ||
      !ScaleGeometryUsable(sourceWidth, sourceHeight, destinationWidth, destinationHeight))
    return 0;
  if (path == KernelPath::Reference)
    kernel_reference::ScaleImage(source, sourceWidth, sourceHeight, *layout, destination,
                                 destinationWidth, destinationHeight);
  else
    ScalePacked(RowsFor(path), source, sourceWidth, sourceHeight, *layout, destination,
                destinationWidth, destinationHeight);
  return 0;
}

void UyvyFrameToBgr24FloatOn(KernelPath path, const uint8_t* uyvy, int width, int height,
                             uint8_t* bgr) {
  path = Runnable(path);
  if (width <= 0 || height <= 0 || width % 2 != 0) return;
  if (path == KernelPath::Reference)
    kernel_reference::UyvyFrameToBgr24Float(uyvy, width, height, bgr);
  else
    Bgr24Frame(RowsFor(path).Bgr24Float, uyvy, width, height, bgr);
}

void UyvyFrameToBgr24FixedOn(KernelPath path, const uint8_t* uyvy, int width, int height,
                             uint8_t* bgr) {
  path = Runnable(path);
  if (width <= 0 || height <= 0 || width % 2 != 0) return;
  if (path == KernelPath::Reference)
    kernel_reference::UyvyFrameToBgr24Fixed(uyvy, width, height, bgr);
  else
    Bgr24Frame(RowsFor(path).Bgr24Fixed, uyvy, width, height, bgr);
}

bool UyvyToYvu9On(KernelPath path, const uint8_t* uyvy, int width, int height, uint8_t* yvu9) {
  path = Runnable(path);
  if (width <= 0 || height <= 0 || width % 4 != 0 || height % 4 != 0) return false;
  if (path == KernelPath::Reference)
    kernel_reference::UyvyToYvu9(uyvy, width, height, yvu9);
  else
    Yvu9Frame(RowsFor(path), uyvy, width, height, yvu9);
  return true;
}

int ScaleImage(const uint8_t* source, int sourceWidth, int sourceHeight, uint32_t sourceFourcc,
               uint8_t* destination, int destinationWidth, int destinationHeight,
               uint32_t destinationFourcc) {
  return ScaleImageOn(BestKernelPath(), source, sourceWidth, sourceHeight, sourceFourcc,
                      destination, destinationWidth, destinationHeight, destinationFourcc);
}

void UyvyFrameToBgr24Float(const uint8_t* uyvy, int width, int height, uint8_t* bgr) {
  UyvyFrameToBgr24FloatOn(BestKernelPath(), uyvy, width, height, bgr);
}

void UyvyFrameToBgr24Fixed(const uint8_t* uyvy, int width, int height, uint8_t* bgr) {
  UyvyFrameToBgr24FixedOn(BestKernelPath(), uyvy, width, height, bgr);
}

bool UyvyToYvu9(const uint8_t* uyvy, int width, int height, uint8_t* yvu9) {
  return UyvyToYvu9On(BestKernelPath(), uyvy, width, height, yvu9);
}
