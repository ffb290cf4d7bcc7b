#include "hw/win32/MachinePortIo.h"

#include <windows.h>

#include <intrin.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

// A thread-local slot, non-null while its thread executes a port instruction of ours,
// so the handler never takes a fault that belongs to someone else. The system's own slot:
// reading it allocates nothing, whatever state the faulting thread is in.
DWORD g_inPortInstruction = TLS_OUT_OF_INDEXES;
std::atomic<bool> g_refused{false};

}  // namespace

bool DecodePortInstruction(const uint8_t* code, PortInstruction& out) {
  size_t at = 0;
  bool operandSize16 = false;
  for (; at < 4; ++at) {
    const uint8_t b = code[at];
    if (b == 0x66) {
      operandSize16 = true;
    } else if (b == 0x67 || b == 0xF2 || b == 0xF3 || b == 0x26 || b == 0x2E || b == 0x36 ||
               b == 0x3E || b == 0x64 || b == 0x65) {
      // address size, repeat and segment prefixes change nothing for in/out
#if defined(_WIN64)
    } else if ((b & 0xF0) == 0x40) {
      // REX: no effect on the width of in/out
#endif
    } else {
      break;
    }
  }
  const uint8_t op = code[at];
  if ((op & 0xF4) != 0xE4) return false;  // E4..E7 and EC..EF
  out.reads = (op & 0x02) == 0;
  out.width = (op & 0x01) == 0 ? 1 : (operandSize16 ? 2 : 4);
  out.length = at + ((op & 0x08) ? 1 : 2);  // EC..EF: port in DX; E4..E7: immediate byte
  return true;
}

namespace {

LONG CALLBACK RefusedPortHandler(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if (code != EXCEPTION_PRIV_INSTRUCTION && code != EXCEPTION_ACCESS_VIOLATION)
    return EXCEPTION_CONTINUE_SEARCH;
  // TlsGetValue clears the thread's last error, which the faulting code may still want.
  const DWORD lastError = GetLastError();
  const bool ours =
      g_inPortInstruction != TLS_OUT_OF_INDEXES && TlsGetValue(g_inPortInstruction) != nullptr;
  SetLastError(lastError);
  if (!ours) return EXCEPTION_CONTINUE_SEARCH;
  CONTEXT* context = info->ContextRecord;
#ifdef _WIN64
  DWORD64& ip = context->Rip;
  DWORD64& accumulator = context->Rax;
#else
  DWORD& ip = context->Eip;
  DWORD& accumulator = context->Eax;
#endif
  const auto* at = reinterpret_cast<const uint8_t*>(info->ExceptionRecord->ExceptionAddress);
  PortInstruction instruction;
  if (reinterpret_cast<DWORD_PTR>(at) != static_cast<DWORD_PTR>(ip) ||
      !DecodePortInstruction(at, instruction)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  // A refused read answers as a bus with nothing on it.
  if (instruction.reads) {
    if (instruction.width == 1) accumulator |= 0xFF;
    if (instruction.width == 2) accumulator |= 0xFFFF;
    if (instruction.width == 4) accumulator = 0xFFFFFFFF;  // a 32-bit result clears the rest
  }
  ip += instruction.length;
  g_refused.store(true);
  return EXCEPTION_CONTINUE_EXECUTION;
}

// Keeps the compiler from moving the instruction out of the flagged stretch.
struct PortInstructionScope {
  PortInstructionScope() {
    TlsSetValue(g_inPortInstruction, reinterpret_cast<void*>(1));
    std::atomic_signal_fence(std::memory_order_seq_cst);
  }
  ~PortInstructionScope() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    TlsSetValue(g_inPortInstruction, nullptr);
  }
};

}  // namespace

std::vector<std::string> PortAccessLibraryFolders() {
  std::vector<std::string> folders;
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::string own(path, length);
    const size_t slash = own.find_last_of("\\/");
    if (slash != std::string::npos) folders.push_back(own.substr(0, slash));
  }
  const UINT system = GetSystemDirectoryA(path, MAX_PATH);
  if (system > 0 && system < MAX_PATH) folders.emplace_back(path, system);
  return folders;
}

bool MachinePortIo::LoadLibraryFrom(const std::string& folder) {
  const std::string path = folder + "\\" + kPortAccessLibrary;
  // Only that file: a library it needs is looked for beside it, not in the current folder.
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return false;
  // GetProcAddress only knows FARPROC; the entry points' types are the library's.
  const auto entry = [module](const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
  };
  const auto inp32 = reinterpret_cast<Inp32Call>(entry("Inp32"));
  const auto out32 = reinterpret_cast<Out32Call>(entry("Out32"));
  const auto driverOpen = reinterpret_cast<DriverOpenCall>(entry("IsInpOutDriverOpen"));
  // Without its driver the library cannot reach the ports either.
  if (!inp32 || !out32 || !driverOpen || !driverOpen()) {
    FreeLibrary(module);
    return false;
  }
  library_ = module;
  inp32_ = inp32;
  out32_ = out32;
  return true;
}

MachinePortIo::MachinePortIo(const std::vector<std::string>& libraryFolders) {
  g_refused.store(false);
  for (const std::string& folder : libraryFolders) {
    if (LoadLibraryFrom(folder)) return;
  }
  if (g_inPortInstruction == TLS_OUT_OF_INDEXES) g_inPortInstruction = TlsAlloc();
  handler_ = AddVectoredExceptionHandler(1, RefusedPortHandler);
  // Without the slot or the handler a refused instruction could not be caught: never try one.
  if (g_inPortInstruction == TLS_OUT_OF_INDEXES || !handler_) g_refused.store(true);
}

MachinePortIo::~MachinePortIo() {
  if (handler_) RemoveVectoredExceptionHandler(handler_);
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
}

void MachinePortIo::PortWrite(uint16_t port, uint8_t value) {
  if (library_) {
    out32_(static_cast<short>(port), value);
    return;
  }
  if (g_refused.load()) return;
  PortInstructionScope scope;
  __outbyte(port, value);
}

uint8_t MachinePortIo::PortRead(uint16_t port) {
  if (library_) return static_cast<uint8_t>(inp32_(static_cast<short>(port)));
  if (g_refused.load()) return 0xFF;
  PortInstructionScope scope;
  return __inbyte(port);
}

void MachinePortIo::SleepMs(uint32_t ms) {
  Sleep(ms);
}

bool MachinePortIo::Refused() const {
  return !library_ && g_refused.load();
}

bool MachinePortsAccessible(MachinePortIo& io) {
  for (const uint16_t port : {0x80, 0x3C4, 0x3C5, 0x3D4, 0x3D5}) {
    io.PortRead(port);
    if (io.Refused()) return false;
  }
  return true;
}
