// Pixel conversion and scaling for captured pictures: the integer-factor enlarger for
// packed 4:2:2 images, UYVY to bottom-up BGR24 (floating point for stills, fixed point
// for AVI frames) and UYVY to YVU9. Pure computations over caller-owned buffers.
//
// Each operation has a plain C++ reference that is its bit-exact definition; the public
// entry points run the fastest path the processor offers, and every path produces the
// same bytes as the reference.
#pragma once

#include <array>
#include <cstdint>

#include "shared/FourCc.h"

// Cubic-spline weights by enlargement factor (row) and distance in destination samples.
inline constexpr int kKernelFactors = 51;
inline constexpr int kKernelEntries = 201;
using KernelRow = std::array<double, kKernelEntries>;
extern const std::array<KernelRow, kKernelFactors> KernelTable;

// The cardinal cubic B-spline interpolation kernel the table samples.
double CardinalCubicSpline(double x);

// Chroma contributions in 1/1024 units, indexed by the chroma byte.
using ChromaTable = std::array<int32_t, 256>;
extern const ChromaTable VToRed;
extern const ChromaTable VToGreen;
extern const ChromaTable UToBlue;
extern const ChromaTable UToGreen;

// Enlarges a packed 4:2:2 image by whole factors (1..50 each way; the destination must be
// an exact multiple of the source and widths even). Both FOURCCs must be 'UYVY' or both
// 'YUY2'; anything else, or an unusable geometry, leaves the destination untouched.
// Always returns 0.
int ScaleImage(const uint8_t* source, int sourceWidth, int sourceHeight, uint32_t sourceFourcc,
               uint8_t* destination, int destinationWidth, int destinationHeight,
               uint32_t destinationFourcc);

// One UYVY pixel pair (U, Y0, V, Y1) to B0 G0 R0 B1 G1 R1.
void UyvyToBgr24Float(const uint8_t pair[4], uint8_t bgr[6]);
void UyvyToBgr24Fixed(const uint8_t pair[4], uint8_t bgr[6]);

// A whole UYVY frame (rows top first) to BGR24 rows bottom first, pair by pair with the
// converters above. Width must be even; otherwise nothing is written.
void UyvyFrameToBgr24Float(const uint8_t* uyvy, int width, int height, uint8_t* bgr);
void UyvyFrameToBgr24Fixed(const uint8_t* uyvy, int width, int height, uint8_t* bgr);

// UYVY frame to YVU9 (Y plane, then V and U at a quarter of each size). Returns false and
// writes nothing unless width and height are positive multiples of 4.
bool UyvyToYvu9(const uint8_t* uyvy, int width, int height, uint8_t* yvu9);

// The implementations side by side, for tests and benchmarks. Reference is the literal
// definition; Portable runs the production drivers on plain C++ rows; the others add
// the processor's vector instructions.
enum class KernelPath { Reference, Portable, Sse2, Ssse3, Avx2, Avx512 };

const char* KernelPathName(KernelPath path);
bool KernelPathSupported(KernelPath path);
KernelPath BestKernelPath();

int ScaleImageOn(KernelPath path, const uint8_t* source, int sourceWidth, int sourceHeight,
                 uint32_t sourceFourcc, uint8_t* destination, int destinationWidth,
                 int destinationHeight, uint32_t destinationFourcc);
void UyvyFrameToBgr24FloatOn(KernelPath path, const uint8_t* uyvy, int width, int height,
                             uint8_t* bgr);
void UyvyFrameToBgr24FixedOn(KernelPath path, const uint8_t* uyvy, int width, int height,
                             uint8_t* bgr);
bool UyvyToYvu9On(KernelPath path, const uint8_t* uyvy, int width, int height, uint8_t* yvu9);
