#include "capture/win32/BoardDriver.h"

#include <cstring>

BoardDriverState BoardDriver;

namespace {

HANDLE PlatformOpen(const char* name) {
  return CreateFileA(name, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

BOOL PlatformControl(HANDLE device, DWORD code, void* input, DWORD inputBytes, void* output,
                     DWORD outputBytes, DWORD* returned) {
  return DeviceIoControl(device, code, input, inputBytes, output, outputBytes, returned, nullptr);
}

BOOL PlatformClose(HANDLE device) {
  return CloseHandle(device);
}

constexpr BoardDriverCalls kPlatformDriver = {PlatformOpen, PlatformControl, PlatformClose};
const BoardDriverCalls* g_calls = &kPlatformDriver;

}  // namespace

void InstallBoardDriverCalls(const BoardDriverCalls* calls) {
  g_calls = calls ? calls : &kPlatformDriver;
}

const BoardDriverCalls& PlatformBoardDriverCalls() {
  return kPlatformDriver;
}

bool BoardDriverOpens(const BoardDriverCalls& calls) {
  const HANDLE device = calls.Open(kBoardDriverName);
  if (device == INVALID_HANDLE_VALUE) return false;
  calls.Close(device);
  return true;
}

void OpenBoardDriver() {
  BoardDriver.DriverStatusBlock = nullptr;
  const HANDLE device = g_calls->Open(kBoardDriverName);
  if (device == INVALID_HANDLE_VALUE) return;
  uint8_t input[kBoardDriverInputBytes] = {};
  alignas(8) uint8_t output[kBoardDriverOutputBytes] = {};
  DWORD returned = 0;
  if (g_calls->Control(device, kBoardDriverStatusBlockCode, input, sizeof input, output,
                       sizeof output, &returned)) {
    std::memcpy(&BoardDriver.DriverStatusBlock, output, sizeof BoardDriver.DriverStatusBlock);
  }
  g_calls->Close(device);
}
