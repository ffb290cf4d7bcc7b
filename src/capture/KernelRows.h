// Row kernels shared by the pixel drivers (PixelKernels.cpp) and their vector builds.
//
// The vector sources are compiled with their own instruction-set flags, so this header
// holds declarations, plain constants and helpers of internal linkage only: an inline
// function with external linkage defined here and instantiated in one of them could be
// the copy the linker keeps for everyone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kernel_rows {

// Byte positions inside a packed 4:2:2 pixel pair; the second luma byte is Y + 2.
struct PackedLayout {
  int Y;
  int U;
  int V;
};
inline constexpr PackedLayout kUyvyLayout{1, 0, 2};
inline constexpr PackedLayout kYuy2Layout{0, 1, 3};

// Enlarger luma filter for one phase: out[i] = clamp(sum over t < 8 of ext[i + t] *
// taps[t]), summed in double precision in tap order, for i < count.
using FilterRowFn = void (*)(const double* ext, int count, const double* taps, uint8_t* out);

// Vertical luma filter over eight rows of samples held as doubles: for each phase
// ph < phases, out[ph][i] = clamp(sum over t < 8 of rows[t][i] * taps[8 * ph + t]) for
// i < width, summed in tap order.
using FilterColumnsFn = void (*)(const double* const* rows, int width, const double* taps,
                                 int phases, uint8_t* const* out);

// Bytes to doubles: out[i] = bytes[i] for i < count.
using WidenFn = void (*)(const uint8_t* bytes, int count, double* out);

// Packs a row: chroma[i] and luma[i] into bytes 2i and 2i + 1 (swapped when lumaFirst).
using InterleaveFn = void (*)(const uint8_t* chroma, const uint8_t* luma, int width, bool lumaFirst,
                              uint8_t* packed);

// UYVY pairs to BGR24, left to right, `pairs` pairs.
using Bgr24RowFn = void (*)(const uint8_t* uyvy, int pairs, uint8_t* bgr);

// The Y bytes of a UYVY row of `width` pixels.
using LumaRowFn = void (*)(const uint8_t* uyvy, int width, uint8_t* luma);

// Averages of 4 x 4 blocks over four UYVY rows `stride` bytes apart: one V and one U byte
// per block (sum of the block's eight samples shifted right by 3).
using ChromaBlocksFn = void (*)(const uint8_t* uyvy, ptrdiff_t stride, int blocks, uint8_t* v,
                                uint8_t* u);

// The plain rows. They live in a file built without vector flags (PixelKernels.cpp), so
// the vector paths finish the samples left over after their last full vector with them
// instead of repeating them. Each computes a sample exactly as its vector path does.
void FilterRowScalar(const double* ext, int count, const double* taps, uint8_t* out);
// Columns first..width-1 of FilterColumnsFn.
void FilterColumnsScalar(const double* const* rows, int first, int width, const double* taps,
                         int phases, uint8_t* const* out);
void WidenScalar(const uint8_t* bytes, int count, double* out);
void InterleaveScalar(const uint8_t* chroma, const uint8_t* luma, int width, bool lumaFirst,
                      uint8_t* packed);
void Bgr24FixedScalar(const uint8_t* uyvy, int pairs, uint8_t* bgr);
void LumaRowScalar(const uint8_t* uyvy, int width, uint8_t* luma);
void ChromaBlocksScalar(const uint8_t* uyvy, ptrdiff_t stride, int blocks, uint8_t* v, uint8_t* u);

struct RowKernels {
  FilterRowFn FilterRow;
  FilterColumnsFn FilterColumns;
  WidenFn Widen;
  InterleaveFn Interleave;
  Bgr24RowFn Bgr24Float;
  Bgr24RowFn Bgr24Fixed;
  LumaRowFn LumaRow;
  ChromaBlocksFn ChromaBlocks;
};

// Empty (all null) where the build has no such instructions.
extern const RowKernels kPortableRows;
extern const RowKernels kSse2Rows;
extern const RowKernels kSsse3Rows;
extern const RowKernels kAvx2Rows;
extern const RowKernels kAvx512Rows;

// Fixed-point converter in vector form. Each chroma table entry is the truncated product
// c * (x - 128) * 1024; with t = x - 128 the pieces below reproduce the tables exactly
// (checked against them at compile time in PixelTables.cpp):
//   UToBlue >> 10 = ((t << kScaledShift) * kBlueScaled) >> 16
//   VToRed >> 10  = ((t << kScaledShift) * kRedScaled) >> 16
//   UToGreen = 352 t + sign(t) * ((|t| * kUGreenFraction) >> 16)
//   VToGreen = 731 t + sign(t) * ((|t| * kVGreenFraction) >> 16)
inline constexpr int kScaledShift = 3;
inline constexpr int kBlueScaled = 14516;
inline constexpr int kRedScaled = 11485;
inline constexpr int kUGreenWhole = 352;
inline constexpr int kVGreenWhole = 731;
inline constexpr int kUGreenFraction = 26163;
inline constexpr int kVGreenFraction = 18307;

// Two 16-bit lanes of a 32-bit vector element, `low` in the lower half.
namespace {
constexpr int Lanes16(int low, int high) {
  return static_cast<int>((static_cast<uint32_t>(high) << 16) |
                          (static_cast<uint32_t>(low) & 0xFFFF));
}
}  // namespace

}  // namespace kernel_rows

// The literal definitions (PixelReference.cpp). Callers have checked the geometry:
// factors 1..50, exact multiples, even widths. ScaleImage returns false when its
// buffers cannot be had, having written nothing.
namespace kernel_reference {
bool ScaleImage(const uint8_t* source, int sourceWidth, int sourceHeight,
                const kernel_rows::PackedLayout& layout, uint8_t* destination, int destinationWidth,
                int destinationHeight);
void UyvyFrameToBgr24Float(const uint8_t* uyvy, int width, int height, uint8_t* bgr);
void UyvyFrameToBgr24Fixed(const uint8_t* uyvy, int width, int height, uint8_t* bgr);
void UyvyToYvu9(const uint8_t* uyvy, int width, int height, uint8_t* yvu9);
}  // namespace kernel_reference
