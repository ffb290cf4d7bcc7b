#include "sim/win32/SimBoardDriver.h"

#include <cstring>

#include "hw/PortIo.h"
#include "sim/SimBoard.h"

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

// A 64-bit process needs a pointer-sized word for the block's address.
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

}  // namespace

const BoardDriverCalls kSimulatedBoardDriver = {SimOpen, SimControl, SimClose};

void InstallSimulatedBoardDriver() {
  InstallBoardDriverCalls(&kSimulatedBoardDriver);
}

void RemoveSimulatedBoardDriver() {
  InstallBoardDriverCalls(nullptr);
}
