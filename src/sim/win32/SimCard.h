// What everything the simulated card makes shares: the card itself (its scenario, the
// video engine feeding its port, what it has handed out), the ids and limits its objects
// check against, its pixel formats, and COM reference counting.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "display/win32/DDrawApi.h"
#include "sim/win32/SimCardScenario.h"

class VideoEngine;

namespace sim_card {

// Shared by everything one provider makes.
struct SimCard {
  SimCardScenario scenario;
  VideoEngine* engine = nullptr;
  std::atomic<uint32_t> displayEpoch{0};  // moves on at every display-mode change

  std::mutex mutex;        // everything below
  bool lossArmed = false;  // the scenario's surface loss is still to come
  int overlayFailuresLeft = 0;
  bool portInUse = false;  // the card has one video port

  // `engine`, or the engine of the simulated board installed behind the ports.
  VideoEngine* Engine() const;
};

constexpr GUID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// A structure's dwSize must be its size in this build, as DirectDraw checks it: pointers
// make several larger in 64-bit code, and a 32-bit size there is refused (DDrawApi.h
// holds both bitnesses' sizes).
template <typename T>
bool SizeIs(const T& s) {
  return s.dwSize == sizeof s;
}

// The overlay's limits, as the driver's caps report them and UpdateOverlay enforces them.
constexpr DWORD kMinOverlayStretch = 1000;  // the overlay cannot shrink
constexpr DWORD kMaxOverlayStretch = 20000;

struct ScreenMode {
  int width = 0;
  int height = 0;
  int bits = 0;
  bool operator==(const ScreenMode&) const = default;
};

ScreenMode CurrentScreenMode();

DDPIXELFORMAT UyvyFormat();
DDPIXELFORMAT RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue);
DDPIXELFORMAT Rgb565Format();
bool IsRgb565(const DDPIXELFORMAT& f);
// What the primary surface reports: the scenario's depth, or the desktop's.
DDPIXELFORMAT PrimaryFormat(const SimCardScenario& scenario, int desktopBits);
// The colour a pixel value of the primary's format puts on the screen.
COLORREF ScreenColour(const DDPIXELFORMAT& f, DWORD value);
// `inner` is not empty and lies within `outer`.
bool WithinRect(const RECT& inner, const RECT& outer);
// UYVY to RGB 5-6-5 (BT.601 studio range), for an overlay in the port's RGB output format.
uint16_t YuvToRgb565(int y, int u, int v);

template <class... Interfaces>
class ComObject : public Interfaces... {
 public:
  virtual ~ComObject() = default;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace sim_card
