#include "capture/win32/BoardDriver.h"

#include <cstring>

#include "hw/PortIo.h"
#include "sim/SimBoard.h"

BoardDriverState BoardDriver;

namespace {

// Stands for the simulated driver's open device; never a handle the platform issues.
const HANDLE kSimulatedDevice = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-0x4B44));

SimBoard* BoardBehindPorts() {
  return dynamic_cast<SimBoard*>(InstalledPortIo());
}

HANDLE SimOpen(const char* name) {
  if (std::strcmp(name, kBoardDriverName) == 0 && BoardBehindPorts()) return kSimulatedDevice;
  return CreateFileA(name, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Code 11 answers with the status block's address in the first word of the output; a
// 64-bit process needs a pointer-sized word for it.
BOOL SimControl(HANDLE device, DWORD code, void* input, DWORD inputBytes, void* output,
                DWORD outputBytes, DWORD* returned) {
  if (device != kSimulatedDevice) {
    return DeviceIoControl(device, code, input, inputBytes, output, outputBytes, returned, nullptr);
  }
  SimBoard* board = BoardBehindPorts();
  if (code != kBoardDriverStatusBlockCode || !board || !output || outputBytes < sizeof(void*)) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  uint8_t* block = board->Engine().DriverStatusBlock();
  std::memcpy(output, &block, sizeof block);
  if (returned) *returned = outputBytes;
  return TRUE;
}

BOOL SimClose(HANDLE device) {
  return device == kSimulatedDevice ? TRUE : CloseHandle(device);
}

constexpr BoardDriverCalls kSimulatedDriver = {SimOpen, SimControl, SimClose};
const BoardDriverCalls* g_calls = &kSimulatedDriver;

}  // namespace

void InstallBoardDriverCalls(const BoardDriverCalls* calls) {
  g_calls = calls ? calls : &kSimulatedDriver;
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
