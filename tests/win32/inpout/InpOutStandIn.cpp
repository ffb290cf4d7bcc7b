// A stand-in for the port access library, built for the tests: the library's three exports
// with the simulated board (its scenario from the simulator's registry key) behind them.
// Two environment variables steer it:
//   INPOUT_STANDIN_LOG   a file to which every call is appended, one line each:
//                        "IsInpOutDriverOpen 1", "Out32 03C4 06", "Inp32 03C5 57"
//   INPOUT_STANDIN_OPEN  "0": the driver did not open (IsInpOutDriverOpen returns 0)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hw/PortIo.h"
#include "sim/win32/SimulatedBoard.h"

namespace {

std::FILE* g_log = nullptr;
bool g_logOpened = false;

std::FILE* Log() {
  if (!g_logOpened) {
    g_logOpened = true;
    if (const char* path = std::getenv("INPOUT_STANDIN_LOG"); path && *path)
      g_log = std::fopen(path, "ab");  // lines end in LF alone, as the tests compare them
  }
  return g_log;
}

void PowerUp() {
  if (!SimulatedBoard()) PowerUpSimulatedBoard(LoadSimScenario());
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL __stdcall IsInpOutDriverOpen() {
  const char* open = std::getenv("INPOUT_STANDIN_OPEN");
  const BOOL result = (open && std::strcmp(open, "0") == 0) ? FALSE : TRUE;
  if (std::FILE* log = Log()) std::fprintf(log, "IsInpOutDriverOpen %d\n", result);
  return result;
}

__declspec(dllexport) short __stdcall Inp32(short port) {
  PowerUp();
  const uint8_t value = PortRead(static_cast<uint16_t>(port));
  if (std::FILE* log = Log())
    std::fprintf(log, "Inp32 %04X %02X\n", static_cast<uint16_t>(port), value);
  return value;
}

__declspec(dllexport) void __stdcall Out32(short port, short value) {
  PowerUp();
  PortWrite(static_cast<uint16_t>(port), static_cast<uint8_t>(value));
  if (std::FILE* log = Log())
    std::fprintf(log, "Out32 %04X %02X\n", static_cast<uint16_t>(port),
                 static_cast<uint8_t>(value));
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved) {
  // Unloaded by FreeLibrary (not at process end, when other threads are gone): the board
  // powers down and closes its trace.
  if (reason == DLL_PROCESS_DETACH) {
    if (!reserved) PowerDownSimulatedBoard();
    if (g_log) std::fclose(g_log);
    g_log = nullptr;
  }
  return TRUE;
}

}  // extern "C"
