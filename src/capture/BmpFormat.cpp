#include "capture/BmpFormat.h"

#include <cstring>

namespace {

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

StillSize StillCaptureSize(uint32_t frameWidth, uint32_t frameHeight, uint32_t sizeFactor) {
  return {frameWidth * sizeFactor, frameHeight * sizeFactor};
}

uint32_t BmpRowBytes(uint32_t width) {
  return (width * 3 + 3) & ~3u;
}

uint32_t BmpPixelBytes(uint32_t width, uint32_t height) {
  return BmpRowBytes(width) * height;
}

uint32_t BmpFileSize(uint32_t width, uint32_t height) {
  return kBmpHeadersSize + BmpPixelBytes(width, height);
}

std::array<uint8_t, kBmpInfoHeaderSize> BuildBmpInfoHeader(uint32_t width, uint32_t height) {
  std::array<uint8_t, kBmpInfoHeaderSize> h{};
  uint8_t* p = h.data();
  Put32(p + 0, kBmpInfoHeaderSize);
  Put32(p + 4, width);
  Put32(p + 8, height);  // positive: bottom row first
  Put16(p + 12, 1);      // planes
  Put16(p + 14, 24);     // bits per pixel
  Put32(p + 16, 0);      // uncompressed
  Put32(p + 20, BmpPixelBytes(width, height));
  // 24..39: resolutions and colour counts, zero
  return h;
}

std::array<uint8_t, kBmpHeadersSize> BuildBmpHeaders(uint32_t width, uint32_t height) {
  std::array<uint8_t, kBmpHeadersSize> h{};
  uint8_t* p = h.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, BmpFileSize(width, height));
  Put16(p + 6, 0);  // reserved
  Put16(p + 8, 0);
  Put32(p + 10, kBmpHeadersSize);  // pixels follow the two headers
  const auto info = BuildBmpInfoHeader(width, height);
  std::memcpy(p + kBmpFileHeaderSize, info.data(), info.size());
  return h;
}
