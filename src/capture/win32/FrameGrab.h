// One picture of live video out of the overlay surface, in step with the field bit of
// the board driver's status block.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include <cstdint>

// Which per-frame copy the grab uses; chosen once by processor at start-up.
enum class FrameCopy { Plain, Mmx };

struct FrameGrabState {
  FrameCopy FrameCopyRoutine = FrameCopy::Plain;
};
extern FrameGrabState FrameGrab;

// Polls after the reference read before a wait gives up, and the least time it waits
// (eight 50 Hz fields) however fast the processor polls.
inline constexpr uint32_t kVsyncPollLimit = 0x700000;
inline constexpr ULONGLONG kVsyncLeastWaitMs = 160;

// Lock flags: sequences and video wait for the surface; stills also keep the system lock
// off while they copy.
inline constexpr DWORD kGrabLockFlags = DDLOCK_WAIT;
inline constexpr DWORD kStillGrabLockFlags = DDLOCK_WAIT | DDLOCK_NOSYSLOCK;
static_assert(kStillGrabLockFlags == 0x801);

// 1 at the next change of the field bit (or at once without a status block), 0 once
// kVsyncPollLimit + 1 further polls and kVsyncLeastWaitMs have both gone by without one.
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
