// The 24-bit BMP that still capture writes: a 14-byte file header, the 40-byte info header
// (also the clipboard bitmap's), then the pixels bottom row first, blue, green, red.
#pragma once

#include <array>
#include <cstdint>

constexpr uint32_t kBmpFileHeaderSize = 14;
constexpr uint32_t kBmpInfoHeaderSize = 40;
constexpr uint32_t kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;

struct StillSize {
  uint32_t Width;
  uint32_t Height;
};

// The frame geometry enlarged by the capture size factor (1..5).
StillSize StillCaptureSize(uint32_t frameWidth, uint32_t frameHeight, uint32_t sizeFactor);

// Bytes of one stored row. Every capture width (352 x factor) already gives a multiple
// of 4, so capture rows carry no padding; other widths are padded as BMP requires.
uint32_t BmpRowBytes(uint32_t width);
uint32_t BmpPixelBytes(uint32_t width, uint32_t height);
uint32_t BmpFileSize(uint32_t width, uint32_t height);

std::array<uint8_t, kBmpInfoHeaderSize> BuildBmpInfoHeader(uint32_t width, uint32_t height);
// File header followed by the info header: everything before the pixels.
std::array<uint8_t, kBmpHeadersSize> BuildBmpHeaders(uint32_t width, uint32_t height);
