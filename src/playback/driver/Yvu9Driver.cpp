// The YVU9 decompressor as a driver DLL, for registering system-wide (see README).
#include <windows.h>

#include "playback/Yvu9Codec.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK
    DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM lParam1, LPARAM lParam2) {
  return Yvu9DriverProc(driverId, driver, message, lParam1, lParam2);
}
