#include "capture/Yvu9Decode.h"

#include "capture/PixelKernels.h"

namespace {

// The pair at (x, y), x even: U, Y0, V, Y1 as the UYVY converter takes it.
void PairAt(const uint8_t* yvu9, int width, int height, int x, int y, uint8_t pair[4]) {
  const size_t pixels = static_cast<size_t>(width) * height;
  const uint8_t* luma = yvu9 + static_cast<size_t>(y) * width + x;
  const size_t block = static_cast<size_t>(y / 4) * (width / 4) + x / 4;
  const uint8_t* v = yvu9 + pixels;
  const uint8_t* u = v + pixels / 16;
  pair[0] = u[block];
  pair[1] = luma[0];
  pair[2] = v[block];
  pair[3] = luma[1];
}

}  // namespace

bool IsYvu9Geometry(int width, int height) {
  return width > 0 && height > 0 && width % 4 == 0 && height % 4 == 0;
}

size_t Yvu9FrameBytes(int width, int height) {
  return static_cast<size_t>(width) * height * 9 / 8;
}

size_t RgbRowBytes(int width, int bitsPerPixel) {
  return (static_cast<size_t>(width) * bitsPerPixel / 8 + 3) & ~size_t{3};
}

bool Yvu9ToUyvy(const uint8_t* yvu9, int width, int height, uint8_t* uyvy) {
  if (!IsYvu9Geometry(width, height)) return false;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; x += 2, uyvy += 4) PairAt(yvu9, width, height, x, y, uyvy);
  return true;
}

bool Yvu9ToRgb(const uint8_t* yvu9, int width, int height, int bitsPerPixel, uint8_t* rgb) {
  if (!IsYvu9Geometry(width, height) || (bitsPerPixel != 24 && bitsPerPixel != 32)) return false;
  const size_t rowBytes = RgbRowBytes(width, bitsPerPixel);
  for (int y = height - 1; y >= 0; --y, rgb += rowBytes) {
    uint8_t* out = rgb;
    for (int x = 0; x < width; x += 2) {
      uint8_t pair[4];
      uint8_t bgr[6];
      PairAt(yvu9, width, height, x, y, pair);
      UyvyToBgr24Fixed(pair, bgr);
      if (bitsPerPixel == 24) {
        for (int i = 0; i < 6; ++i) *out++ = bgr[i];
      } else {
        for (int p = 0; p < 2; ++p) {
          *out++ = bgr[3 * p];
          *out++ = bgr[3 * p + 1];
          *out++ = bgr[3 * p + 2];
          *out++ = 0;
        }
      }
    }
  }
  return true;
}
