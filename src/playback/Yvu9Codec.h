// A Video for Windows decompressor for YVU9 planar frames, to 24- or 32-bit bottom-up RGB.
// The program installs it for its own process at start-up, so the platform's AVI player
// can show the YVU9 clips the program writes without anything installed system-wide; the
// same procedure is the DriverProc of the driver DLL a user can register for every player.
#pragma once

#include <windows.h>

#include <mmsystem.h>

// The installable driver's entry: DRV_* and ICM_DECOMPRESS* messages.
LRESULT CALLBACK Yvu9DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1,
                                LPARAM lParam2);

// Makes the decompressor known to this process's Video for Windows. True when installed.
bool InstallYvu9Decompressor();
void RemoveYvu9Decompressor();
