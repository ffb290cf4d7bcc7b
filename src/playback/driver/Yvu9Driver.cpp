// The YVU9 decompressor as a driver DLL, for registering system-wide (see README).
#include <windows.h>

#include "playback/Yvu9Codec.h"

// Exported by yvu9.def under its plain name, which is what the system looks up; a
// dllexport here would add the decorated stdcall name as well on 32-bit x86.
extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message,
                                       LPARAM lParam1, LPARAM lParam2) {
  return Yvu9DriverProc(driverId, driver, message, lParam1, lParam2);
}
