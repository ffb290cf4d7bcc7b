// The pixel kernels as plain C++, step for step: the bit-exact definition every faster
// path is measured against. Built with floating-point contraction off, like the rest.
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

#include "capture/KernelRows.h"
#include "capture/PixelKernels.h"

namespace {

using kernel_rows::PackedLayout;

uint8_t ClampToByte(float v) {
  if (v > 255) return 255;
  if (v < 0) return 0;
  return static_cast<uint8_t>(v);
}

uint8_t ClampToByte(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// The chroma lift of the enlarger. It used to wrap 254 and 255 round to 0 and 1, turning
// the most saturated colours into their opposites.
uint8_t LiftChroma(uint8_t c) {
  return static_cast<uint8_t>(c > 253 ? 255 : c + 2);
}

// A line of n samples followed by four mirrored about the last one; index -k reads L[k].
class MirroredLine {
 public:
  explicit MirroredLine(uint8_t* storage) : l_(storage) {}
  uint8_t& operator[](int k) { return l_[k]; }
  void Extend(int n) {
    for (int i = 0; i < 4; ++i) l_[n + i] = n == 1 ? l_[0] : At(n - 2 - i);
  }
  uint8_t At(int k) const { return l_[k < 0 ? -k : k]; }

 private:
  uint8_t* l_;
};

// Destination sample j of a line enlarged by f.
uint8_t Interpolate(const MirroredLine& line, int j, int f) {
  const int p = j / f;
  if (j % f == 0) return line.At(p);
  const KernelRow& weights = KernelTable[f];
  double sum = 0;
  for (int k = p - 3; k <= p + 4; ++k) sum += line.At(k) * weights[std::abs(j - f * k)];
  if (sum < 0) sum = 0;
  if (sum > 255) sum = 255;
  return static_cast<uint8_t>(sum);
}

}  // namespace

void UyvyToBgr24Float(const uint8_t pair[4], uint8_t bgr[6]) {
  const int u = pair[0] - 128, y0 = pair[1], v = pair[2] - 128, y1 = pair[3];
  const float r0 = static_cast<float>(y0 + v * 1.402);
  const float g0 = static_cast<float>((y0 - u * 0.34414) - v * 0.71414);
  const float b0 = static_cast<float>(y0 + u * 1.772);
  const int d = y1 - y0;
  const float r1 = static_cast<float>(d + static_cast<double>(r0));
  const float g1 = static_cast<float>(d + static_cast<double>(g0));
  const float b1 = static_cast<float>(d + static_cast<double>(b0));
  bgr[0] = ClampToByte(b0);
  bgr[1] = ClampToByte(g0);
  bgr[2] = ClampToByte(r0);
  bgr[3] = ClampToByte(b1);
  bgr[4] = ClampToByte(g1);
  bgr[5] = ClampToByte(r1);
}

void UyvyToBgr24Fixed(const uint8_t pair[4], uint8_t bgr[6]) {
  const uint8_t u = pair[0], v = pair[2];
  const int32_t ys = pair[1] * 1024;
  const int32_t r0 = (ys + VToRed[v]) >> 10;
  const int32_t g0 = (ys - UToGreen[u] - VToGreen[v]) >> 10;
  const int32_t b0 = (ys + UToBlue[u]) >> 10;
  const int32_t d = pair[3] - pair[1];
  bgr[0] = ClampToByte(b0);
  bgr[1] = ClampToByte(g0);
  bgr[2] = ClampToByte(r0);
  bgr[3] = ClampToByte(b0 + d);
  bgr[4] = ClampToByte(g0 + d);
  bgr[5] = ClampToByte(r0 + d);
}

namespace kernel_reference {

bool ScaleImage(const uint8_t* src, int ws, int hs, const PackedLayout& layout, uint8_t* dst,
                int wd, int hd) {
  const int fx = wd / ws, fy = hd / hs;
  const size_t midPitch = static_cast<size_t>(wd) * 2, dstPitch = midPitch;
  std::unique_ptr<uint8_t[]> mid(new (std::nothrow) uint8_t[midPitch * hs]());
  std::unique_ptr<uint8_t[]> lineStorage(new (std::nothrow) uint8_t[(ws > hs ? ws : hs) + 4]);
  if (!mid || !lineStorage) return false;
  MirroredLine line(lineStorage.get());

  for (int y = 0; y < hs; ++y) {
    const uint8_t* in = src + static_cast<size_t>(y) * ws * 2;
    uint8_t* out = mid.get() + y * midPitch;
    for (int x = 0; x < ws; ++x) line[x] = in[2 * x + layout.Y];
    line.Extend(ws);
    for (int j = 0; j < wd; ++j) out[2 * j + layout.Y] = Interpolate(line, j, fx);
    for (int m = 0; m < ws / 2 && m * fx < wd / 2; ++m) {
      for (int q = m * fx; q < m * fx + fx; ++q) {
        out[4 * q + layout.U] = LiftChroma(in[4 * m + layout.U]);
        out[4 * q + layout.V] = LiftChroma(in[4 * m + layout.V]);
      }
    }
  }

  for (int i = 0; i < wd; ++i) {
    for (int y = 0; y < hs; ++y) line[y] = mid[y * midPitch + 2 * i + layout.Y];
    line.Extend(hs);
    for (int j = 0; j < hd; ++j) dst[j * dstPitch + 2 * i + layout.Y] = Interpolate(line, j, fy);
  }
  for (int q = 0; q < wd / 2; ++q) {
    for (int m = 0; m < hs && m * fy < hd; ++m) {
      for (int j = m * fy; j < m * fy + fy; ++j) {
        dst[j * dstPitch + 4 * q + layout.U] = mid[m * midPitch + 4 * q + layout.U];
        dst[j * dstPitch + 4 * q + layout.V] = mid[m * midPitch + 4 * q + layout.V];
      }
    }
  }
  return true;
}

void UyvyFrameToBgr24Float(const uint8_t* uyvy, int width, int height, uint8_t* bgr) {
  for (int row = height - 1; row >= 0; --row)
    for (int x = 0; x < width; x += 2, bgr += 6)
      ::UyvyToBgr24Float(uyvy + (static_cast<size_t>(row) * width + x) * 2, bgr);
}

void UyvyFrameToBgr24Fixed(const uint8_t* uyvy, int width, int height, uint8_t* bgr) {
  for (int row = height - 1; row >= 0; --row)
    for (int x = 0; x < width; x += 2, bgr += 6)
      ::UyvyToBgr24Fixed(uyvy + (static_cast<size_t>(row) * width + x) * 2, bgr);
}

void UyvyToYvu9(const uint8_t* uyvy, int width, int height, uint8_t* yvu9) {
  const size_t pixels = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < pixels; ++i) yvu9[i] = uyvy[2 * i + 1];
  uint8_t* v = yvu9 + pixels;
  uint8_t* u = v + pixels / 16;
  const size_t pitch = static_cast<size_t>(width) * 2;
  for (int by = 0; by < height; by += 4) {
    for (int bx = 0; bx < width; bx += 4) {
      int sumV = 0, sumU = 0;
      for (int y = by; y < by + 4; ++y) {
        const uint8_t* pairs = uyvy + y * pitch + bx * 2;  // two pixel pairs
        sumU += pairs[0] + pairs[4];
        sumV += pairs[2] + pairs[6];
      }
      *v++ = static_cast<uint8_t>(sumV >> 3);
      *u++ = static_cast<uint8_t>(sumU >> 3);
    }
  }
}

}  // namespace kernel_reference
