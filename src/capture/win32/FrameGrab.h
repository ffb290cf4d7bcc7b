// One picture of live video out of the overlay surface, in step with the field bit of
// the board driver's status block.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdint>

// Which per-frame copy the grab uses; chosen once by processor at start-up.
enum class FrameCopy { Plain, Mmx };

// The last change of the field bit a wait returned at: in which status block, the bit's
// state after it, and when (performance-counter ticks).
struct FieldSeen {
  const uint8_t* block = nullptr;
  uint32_t bit = 0;
  int64_t at = 0;
};

struct FrameGrabState {
  FrameCopy FrameCopyRoutine = FrameCopy::Plain;
  FieldSeen LastField;
};
extern FrameGrabState FrameGrab;

// Polls after the reference read before a wait gives up, and the least time it waits
// (eight 50 Hz fields) however fast the processor polls; a wait that sleeps between its
// polls gives up after the most time (fifty 50 Hz fields) whatever its count.
inline constexpr uint32_t kVsyncPollLimit = 0x700000;
inline constexpr ULONGLONG kVsyncLeastWaitMs = 160;
inline constexpr ULONGLONG kVsyncMostWaitMs = 1000;
// The wait spins from this long before the change is due until this long after it, and
// goes by the last change it returned at for this many fields.
inline constexpr int64_t kVsyncSpinLeadUs = 1500;
inline constexpr int64_t kVsyncSpinLagUs = 1000;
inline constexpr int64_t kVsyncBeatFields = 8;

// Lock flags: sequences and video wait for the surface; stills also keep the system lock
// off while they copy.
inline constexpr DWORD kGrabLockFlags = DDLOCK_WAIT;
inline constexpr DWORD kStillGrabLockFlags = DDLOCK_WAIT | DDLOCK_NOSYSLOCK;
static_assert(kStillGrabLockFlags == 0x801);

// 1 at the next change of the field bit (or at once without a status block), 0 once
// kVsyncPollLimit + 1 further polls and kVsyncLeastWaitMs have both gone by without one,
// or kVsyncMostWaitMs. Within kVsyncBeatFields of the last change a wait returned at, the
// bit is compared with its state after that change, so a change that came between two
// waits ends the second at once. Sleeps between polls except around the time a change
// is due.
int WaitForVsync();
// The same wait with its limits given: how many polls, and the least time.
int WaitForFieldChange(uint32_t pollLimit, ULONGLONG leastWaitMs);

// Surface row where the picture starts for the current VideoStandard: 11 for the
// 240-row standards, 1 for the 288-row ones.
int FirstPictureRow();

// Locks the overlay surface with `lockFlags`, copies the PictureWidth x PictureHeight
// UYVY picture that starts 8 bytes into surface row `firstRow` into `buffer` (rows
// packed), unlocks. Where the surface ends first, the last row copied fills the rest.
// Returns the lock's result; nothing is copied when it fails.
HRESULT GrabFrame(uint8_t* buffer, DWORD lockFlags, int firstRow);
