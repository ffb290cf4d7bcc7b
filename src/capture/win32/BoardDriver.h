// The board driver: opened once at start-up for the address of its status block, whose
// field bit paces every capture.
#pragma once

#include <windows.h>

#include <cstdint>

#include "capture/BoardDriverApi.h"

struct BoardDriverState {
  // Null when the driver is absent or refused: captures then run unsynchronised.
  uint8_t* DriverStatusBlock = nullptr;
};
extern BoardDriverState BoardDriver;

// The three calls the program makes on the driver: by default the platform's
// CreateFileA, DeviceIoControl and CloseHandle. The entry point installs the simulated
// board's driver; tests install drivers that refuse or never toggle.
struct BoardDriverCalls {
  HANDLE (*Open)(const char* name);
  BOOL(*Control)
  (HANDLE device, DWORD code, void* input, DWORD inputBytes, void* output, DWORD outputBytes,
   DWORD* returned);
  BOOL (*Close)(HANDLE device);
};
// nullptr restores the default.
void InstallBoardDriverCalls(const BoardDriverCalls* calls);
// The platform's own calls, whatever is installed.
const BoardDriverCalls& PlatformBoardDriverCalls();

// Whether the driver's device opens through `calls` (closed again at once).
bool BoardDriverOpens(const BoardDriverCalls& calls);

// Start-up, once: sets BoardDriver.DriverStatusBlock.
void OpenBoardDriver();
