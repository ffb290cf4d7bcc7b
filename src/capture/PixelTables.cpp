// Constant tables of the pixel kernels, built at compile time.
#include <cstdint>

#include "capture/KernelRows.h"
#include "capture/PixelKernels.h"

namespace {

constexpr double kSqrt3 = 1.7320508075688772;
constexpr double kPole = kSqrt3 - 2.0;  // z of the cubic spline's recursive prefilter

constexpr double CenteredCubicBSpline(double x) {
  const double a = x < 0 ? -x : x;
  if (a < 1) return 2.0 / 3.0 - a * a + a * a * a / 2.0;
  if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6.0;
  return 0;
}

constexpr double PolePower(int n) {
  double p = 1;
  for (int i = 0; i < n; ++i) p *= kPole;
  return p;
}

constexpr double Eta(double x) {
  const double a = x < 0 ? -x : x;
  const int whole = static_cast<int>(a);
  double sum = 0;
  // The B-spline reaches two samples each way, so four terms of the series remain.
  for (int n = whole - 1; n <= whole + 2; ++n)
    sum += kSqrt3 * PolePower(n < 0 ? -n : n) * CenteredCubicBSpline(a - n);
  return sum;
}

constexpr double SixDecimals(double v) {
  const double scaled = v * 1e6;
  return static_cast<double>(static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5)) /
         1e6;
}

// Factors 1..5, the ones stills are enlarged by, keep fixed six-decimal weights. They are
// the spline rounded to six decimals but for the last place here and there (factor 4,
// distance 5); stills must come out the same from one version of the program to the next,
// so these values stay as they are rather than being recomputed.
struct FixedWeight {
  int Factor;
  int Distance;
  double Value;
};
constexpr FixedWeight kRowsInUse[] = {
    {1, 0, 1.0},        {2, 0, 1.0},        {2, 1, 0.600481},   {2, 3, -0.127405},
    {2, 5, 0.034138},   {2, 7, -0.009147},  {3, 0, 1.0},        {3, 1, 0.800285},
    {3, 2, 0.378348},   {3, 4, -0.135043},  {3, 5, -0.091454},  {3, 7, 0.036185},
    {3, 8, 0.024505},   {3, 10, -0.009696}, {3, 11, -0.006566}, {4, 0, 1.0},
    {4, 1, 0.88143},    {4, 2, 0.600481},   {4, 3, 0.269291},   {4, 5, -0.123138},
    {4, 6, -0.127405},  {4, 7, -0.06797},   {4, 9, 0.032995},   {4, 10, 0.034138},
    {4, 11, 0.018212},  {4, 13, -0.008841}, {4, 14, -0.009147}, {4, 15, -0.00488},
    {5, 0, 1.0},        {5, 1, 0.921723},   {5, 2, 0.725169},   {5, 3, 0.467754},
    {5, 4, 0.206892},   {5, 6, -0.109785},  {5, 7, -0.136432},  {5, 8, -0.108186},
    {5, 9, -0.053293},  {5, 11, 0.029417},  {5, 12, 0.036557},  {5, 13, 0.028988},
    {5, 14, 0.01428},   {5, 16, -0.007882}, {5, 17, -0.009795}, {5, 18, -0.007767},
    {5, 19, -0.003826},
};
constexpr int kFixedFactors = 5;

constexpr std::array<KernelRow, kKernelFactors> BuildKernelTable() {
  std::array<KernelRow, kKernelFactors> table{};
  for (int f = kFixedFactors + 1; f < kKernelFactors; ++f)
    for (int d = 0; d < 4 * f; ++d) table[f][d] = SixDecimals(Eta(static_cast<double>(d) / f));
  for (const FixedWeight& w : kRowsInUse) table[w.Factor][w.Distance] = w.Value;
  return table;
}

constexpr ChromaTable BuildChromaTable(double coefficient) {
  ChromaTable table{};
  for (int x = 0; x < 256; ++x) table[x] = static_cast<int32_t>(coefficient * (x - 128) * 1024);
  return table;
}

constexpr ChromaTable kVToRed = BuildChromaTable(1.402);
constexpr ChromaTable kVToGreen = BuildChromaTable(0.71414);
constexpr ChromaTable kUToBlue = BuildChromaTable(1.772);
constexpr ChromaTable kUToGreen = BuildChromaTable(0.34414);

// The vector converters never read the tables; they rebuild every entry they need from the
// chroma byte with 16-bit multiplies. This holds them to the tables for every byte.
constexpr bool VectorChromaMatchesTables() {
  using namespace kernel_rows;
  for (int x = 0; x < 256; ++x) {
    const int t = x - 128;
    const int magnitude = t < 0 ? -t : t;
    const int sign = t < 0 ? -1 : 1;
    if ((kUToBlue[x] >> 10) != (t * (1 << kScaledShift) * kBlueScaled) >> 16) return false;
    if ((kVToRed[x] >> 10) != (t * (1 << kScaledShift) * kRedScaled) >> 16) return false;
    // The same fractions as floors of signed products, one up for negative t.
    if (sign * ((magnitude * kUGreenFraction) >> 16) != ((t * kUGreenFraction) >> 16) + (t < 0))
      return false;
    if (sign * ((magnitude * kVGreenFraction) >> 16) != ((t * kVGreenFraction) >> 16) + (t < 0))
      return false;
    if (kUToGreen[x] != kUGreenWhole * t + sign * ((magnitude * kUGreenFraction) >> 16))
      return false;
    if (kVToGreen[x] != kVGreenWhole * t + sign * ((magnitude * kVGreenFraction) >> 16))
      return false;
  }
  return true;
}
static_assert(VectorChromaMatchesTables());

}  // namespace

double CardinalCubicSpline(double x) {
  return Eta(x);
}

const std::array<KernelRow, kKernelFactors> KernelTable = BuildKernelTable();

const ChromaTable VToRed = kVToRed;
const ChromaTable VToGreen = kVToGreen;
const ChromaTable UToBlue = kUToBlue;
const ChromaTable UToGreen = kUToGreen;
