#include "capture/BmpFormat.h"

#include <cstring>

#include "shared/LittleEndian.h"

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
  PutLe32(p + 0, kBmpInfoHeaderSize);
  PutLe32(p + 4, width);
  PutLe32(p + 8, height);  // positive: bottom row first
  PutLe16(p + 12, 1);      // planes
  PutLe16(p + 14, 24);     // bits per pixel
  PutLe32(p + 16, 0);      // uncompressed
  PutLe32(p + 20, BmpPixelBytes(width, height));
  // 24..39: resolutions and colour counts, zero
  return h;
}

std::array<uint8_t, kBmpHeadersSize> BuildBmpHeaders(uint32_t width, uint32_t height) {
  std::array<uint8_t, kBmpHeadersSize> h{};
  uint8_t* p = h.data();
  p[0] = 'B';
  p[1] = 'M';
  PutLe32(p + 2, BmpFileSize(width, height));
  PutLe16(p + 6, 0);  // reserved
  PutLe16(p + 8, 0);
  PutLe32(p + 10, kBmpHeadersSize);  // pixels follow the two headers
  const auto info = BuildBmpInfoHeader(width, height);
  std::memcpy(p + kBmpFileHeaderSize, info.data(), info.size());
  return h;
}
