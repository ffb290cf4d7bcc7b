#include "capture/win32/FrameGrab.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "capture/FrameCopy.h"
#include "capture/win32/BoardDriver.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/VideoView.h"
#include "hw/Decoder.h"
#include "shared/Settings.h"

FrameGrabState FrameGrab;

namespace {

uint32_t ReadFieldBit() {
  auto* word = reinterpret_cast<uint32_t*>(BoardDriver.DriverStatusBlock + kDriverStatusWordOffset);
  return std::atomic_ref<uint32_t>(*word).load(std::memory_order_acquire) & kDriverStatusFieldBit;
}

}  // namespace

int WaitForVsync() {
  return WaitForFieldChange(kVsyncPollLimit, kVsyncLeastWaitMs);
}

int WaitForFieldChange(uint32_t pollLimit, ULONGLONG leastWaitMs) {
  if (!BoardDriver.DriverStatusBlock) return 1;
  const uint32_t reference = ReadFieldBit();
  const ULONGLONG start = GetTickCount64();
  for (uint32_t polls = 0;; ++polls) {
    if (polls > pollLimit && GetTickCount64() - start >= leastWaitMs) return 0;
    // The status word lives in plain memory here, not behind a bus; the pause keeps a
    // poll about as slow as a device read. How slow depends on the processor, hence
    // the least wait in time as well.
    _mm_pause();
    if (ReadFieldBit() != reference) return 1;
  }
}

int FirstPictureRow() {
  // The 288-line fields start with one line the picture does not use.
  return IsStandard240Line(Settings.VideoStandard) ? kBlankingLines240 : 1;
}

HRESULT GrabFrame(uint8_t* buffer, DWORD lockFlags, int firstRow) {
  LPDIRECTDRAWSURFACE surface = Display.OverlaySurface;
  if (!surface) return DDERR_SURFACELOST;
  DDSURFACEDESC desc = {};
  desc.dwSize = sizeof desc;
  const HRESULT locked = surface->Lock(nullptr, &desc, lockFlags, nullptr);
  if (FAILED(locked)) return locked;
  const VideoView view = CurrentVideoView();
  const int width = view.PictureWidth;
  // Never read past the surface.
  int rows = view.PictureHeight;
  if ((desc.dwFlags & DDSD_HEIGHT) && static_cast<int>(desc.dwHeight) - firstRow < rows)
    rows = std::max(0, static_cast<int>(desc.dwHeight) - firstRow);
  const auto* start = static_cast<const uint8_t*>(desc.lpSurface) +
                      static_cast<ptrdiff_t>(firstRow) * desc.lPitch + 8;
  const size_t skip = static_cast<size_t>(desc.lPitch) - 2 * static_cast<size_t>(width);
  if (rows > 0) {
    if (FrameGrab.FrameCopyRoutine == FrameCopy::Mmx) {
      CopyFrameMmx(start, buffer, skip, width, rows);
    } else {
      CopyFramePlain(start, buffer, skip, width, rows);
    }
    // Rows past the surface's end repeat the last one copied, so the picture never
    // holds rows that were never video (zero UYVY is green).
    const size_t rowBytes = 2 * static_cast<size_t>(width);
    for (int y = rows; y < view.PictureHeight; ++y)
      std::memcpy(buffer + y * rowBytes, buffer + (rows - 1) * rowBytes, rowBytes);
  }
  surface->Unlock(nullptr);
  return locked;
}
