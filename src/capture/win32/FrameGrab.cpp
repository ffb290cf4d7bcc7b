#include "capture/win32/FrameGrab.h"

#include <immintrin.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "capture/FrameCopy.h"
#include "capture/win32/BoardDriver.h"
#include "display/win32/DisplayChain.h"
#include "display/win32/VideoView.h"
#include "hw/Decoder.h"
#include "shared/Settings.h"
#include "shared/VideoStandards.h"

FrameGrabState FrameGrab;

namespace {

uint32_t ReadFieldBit() {
  auto* word = reinterpret_cast<uint32_t*>(BoardDriver.DriverStatusBlock + kDriverStatusWordOffset);
  return std::atomic_ref<uint32_t>(*word).load(std::memory_order_acquire) & kDriverStatusFieldBit;
}

int64_t Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

int64_t TicksPerSecond() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

// The wait's sleeps are a millisecond long only with the finer system timer.
class FineTimer {
 public:
  FineTimer() = default;
  ~FineTimer() {
    if (held_) timeEndPeriod(1);
  }
  FineTimer(const FineTimer&) = delete;
  FineTimer& operator=(const FineTimer&) = delete;
  void Hold() {
    if (!held_) held_ = timeBeginPeriod(1) == TIMERR_NOERROR;
  }

 private:
  bool held_ = false;
};

}  // namespace

int WaitForVsync() {
  return WaitForFieldChange(kVsyncPollLimit, kVsyncLeastWaitMs);
}

// A thread that spins through the whole field uses up its share of a busy machine and is
// then taken off the processor for longer than a field: it misses changes, and across two
// of them the bit is back where it was. So the wait sleeps a millisecond between polls and
// spins only around the time the next change is due: one field after the last one seen.
// And it waits for the field after the one the last wait returned at, not for the next
// change after it was called: a field that came while the caller was still busy with the
// last one is returned at once instead of lost (the port writes the other buffer during
// the next field, so the picture stays whole until the change after).
int WaitForFieldChange(uint32_t pollLimit, ULONGLONG leastWaitMs) {
  const uint8_t* block = BoardDriver.DriverStatusBlock;
  if (!block) return 1;
  const int64_t perSecond = TicksPerSecond();
  const int64_t start = Ticks();
  const int64_t leastWait = static_cast<int64_t>(leastWaitMs) * perSecond / 1000;
  const int64_t mostWait = static_cast<int64_t>(kVsyncMostWaitMs) * perSecond / 1000;
  const auto period =
      static_cast<int64_t>(perSecond / FieldRateForStandard(Settings.VideoStandard));
  const int64_t lead = kVsyncSpinLeadUs * perSecond / 1000000;
  const int64_t lag = kVsyncSpinLagUs * perSecond / 1000000;
  FieldSeen& seen = FrameGrab.LastField;
  const bool recent =
      seen.block == block && start >= seen.at && start - seen.at < kVsyncBeatFields * period;
  const uint32_t reference = recent ? seen.bit : ReadFieldBit();
  // The next change due after the start, on the last one's beat.
  int64_t due = recent ? seen.at + ((start - seen.at) / period + 1) * period : 0;
  FineTimer timer;
  for (uint32_t polls = 0;; ++polls) {
    const int64_t now = Ticks();
    if ((polls > pollLimit && now - start >= leastWait) || now - start >= mostWait) return 0;
    if (const uint32_t bit = ReadFieldBit(); bit != reference) {
      // A change found at once came on the beat before now.
      const int64_t at = polls == 0 && recent ? due - period : Ticks();
      seen = {block, bit, at};
      return 1;
    }
    while (due != 0 && now > due + lag) due += period;
    if (due != 0 && now >= due - lead) {
      // The status word lives in plain memory here, not behind a bus; the pause keeps a
      // poll about as slow as a device read.
      _mm_pause();
    } else {
      timer.Hold();
      Sleep(1);
    }
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
