#include "sim/win32/SimCard.h"

#include <algorithm>
#include <bit>

#include "hw/PortIo.h"
#include "sim/SimBoard.h"

namespace sim_card {

namespace {

// The twenty static colours of a palettised desktop: 0-9 and 246-255.
constexpr COLORREF kStaticColours[20] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192),
    RGB(192, 220, 192), RGB(166, 202, 240), RGB(255, 251, 240), RGB(160, 160, 164),
    RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255)};

}  // namespace

VideoEngine* SimCard::Engine() const {
  if (engine) return engine;
  auto* board = dynamic_cast<SimBoard*>(InstalledPortIo());
  return board ? &board->Engine() : nullptr;
}

ScreenMode CurrentScreenMode() {
  ScreenMode mode;
  if (HDC dc = GetDC(nullptr)) {
    mode = {GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, BITSPIXEL)};
    ReleaseDC(nullptr, dc);
  }
  return mode;
}

DDPIXELFORMAT UyvyFormat() {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof f;
  f.dwFlags = DDPF_FOURCC;
  f.dwFourCC = kFourccUyvy;
  f.dwYUVBitCount = 16;
  return f;
}

DDPIXELFORMAT RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue) {
  DDPIXELFORMAT f = {};
  f.dwSize = sizeof f;
  f.dwFlags = DDPF_RGB;
  f.dwRGBBitCount = bits;
  f.dwRBitMask = red;
  f.dwGBitMask = green;
  f.dwBBitMask = blue;
  return f;
}

DDPIXELFORMAT Rgb565Format() {
  return RgbFormat(16, 0xF800, 0x07E0, 0x001F);
}

bool IsRgb565(const DDPIXELFORMAT& f) {
  return (f.dwFlags & DDPF_RGB) && !(f.dwFlags & DDPF_FOURCC) && f.dwRGBBitCount == 16 &&
         f.dwRBitMask == 0xF800 && f.dwGBitMask == 0x07E0 && f.dwBBitMask == 0x001F;
}

DDPIXELFORMAT PrimaryFormat(const SimCardScenario& scenario, int desktopBits) {
  const int bits = scenario.primaryBits ? scenario.primaryBits : desktopBits;
  switch (bits) {
    case 8: {
      DDPIXELFORMAT f = RgbFormat(8, 0, 0, 0);
      f.dwFlags |= DDPF_PALETTEINDEXED8;
      return f;
    }
    case 15:
      return RgbFormat(16, 0x7C00, 0x03E0, 0x001F);
    case 16:
      return scenario.primary555 ? RgbFormat(16, 0x7C00, 0x03E0, 0x001F) : Rgb565Format();
    case 24:
      return RgbFormat(24, 0xFF0000, 0x00FF00, 0x0000FF);
    default:
      return RgbFormat(32, 0xFF0000, 0x00FF00, 0x0000FF);
  }
}

COLORREF ScreenColour(const DDPIXELFORMAT& f, DWORD value) {
  if (f.dwFlags & DDPF_PALETTEINDEXED8) {
    const DWORD index = value & 0xFF;
    if (index < 10) return kStaticColours[index];
    if (index >= 246) return kStaticColours[index - 236];
    return RGB(0, 0, 0);  // a colour only a realised palette gives
  }
  auto channel = [value](DWORD mask) -> BYTE {
    if (!mask) return 0;
    const DWORD max = mask >> std::countr_zero(mask);
    return static_cast<BYTE>(((value & mask) >> std::countr_zero(mask)) * 255 / max);
  };
  return RGB(channel(f.dwRBitMask), channel(f.dwGBitMask), channel(f.dwBBitMask));
}

bool WithinRect(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom && inner.left < inner.right && inner.top < inner.bottom;
}

uint16_t YuvToRgb565(int y, int u, int v) {
  const int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
  auto clamp = [](int x) { return std::clamp(x >> 8, 0, 255); };
  const int r = clamp(c + 409 * e), g = clamp(c - 100 * d - 208 * e), b = clamp(c + 516 * d);
  return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
}

}  // namespace sim_card
