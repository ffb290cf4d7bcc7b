#include "hw/win32/MachinePortIo.h"

#include <windows.h>

#include <intrin.h>

#include <atomic>

namespace {

// A thread-local slot, non-null while its thread executes a port instruction of ours,
// so the handler never takes a fault that belongs to someone else. The system's own slot:
// reading it allocates nothing, whatever state the faulting thread is in.
DWORD g_inPortInstruction = TLS_OUT_OF_INDEXES;
std::atomic<bool> g_refused{false};

// Length of the port instruction at `code`, and whether it reads: in/out with the port
// in DX (one byte) or as an immediate (two bytes), byte-wide only.
bool DecodePortInstruction(const uint8_t* code, DWORD_PTR& length, bool& reads) {
  switch (code[0]) {
    case 0xEC:
      length = 1;
      reads = true;
      return true;  // in al, dx
    case 0xEE:
      length = 1;
      reads = false;
      return true;  // out dx, al
    case 0xE4:
      length = 2;
      reads = true;
      return true;  // in al, imm8
    case 0xE6:
      length = 2;
      reads = false;
      return true;  // out imm8, al
    default:
      return false;
  }
}

LONG CALLBACK RefusedPortHandler(EXCEPTION_POINTERS* info) {
  const DWORD code = info->ExceptionRecord->ExceptionCode;
  if ((code != EXCEPTION_PRIV_INSTRUCTION && code != EXCEPTION_ACCESS_VIOLATION) ||
      g_inPortInstruction == TLS_OUT_OF_INDEXES || !TlsGetValue(g_inPortInstruction)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  CONTEXT* context = info->ContextRecord;
#ifdef _WIN64
  DWORD64& ip = context->Rip;
  DWORD64& accumulator = context->Rax;
#else
  DWORD& ip = context->Eip;
  DWORD& accumulator = context->Eax;
#endif
  const auto* at = reinterpret_cast<const uint8_t*>(info->ExceptionRecord->ExceptionAddress);
  DWORD_PTR length = 0;
  bool reads = false;
  if (reinterpret_cast<DWORD_PTR>(at) != static_cast<DWORD_PTR>(ip) ||
      !DecodePortInstruction(at, length, reads)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  // A refused read answers as a bus with nothing on it.
  if (reads) accumulator |= 0xFF;
  ip += length;
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

MachinePortIo::MachinePortIo() {
  g_refused.store(false);
  if (g_inPortInstruction == TLS_OUT_OF_INDEXES) g_inPortInstruction = TlsAlloc();
  handler_ = AddVectoredExceptionHandler(1, RefusedPortHandler);
  // Without the slot or the handler a refused instruction could not be caught: never try one.
  if (g_inPortInstruction == TLS_OUT_OF_INDEXES || !handler_) g_refused.store(true);
}

MachinePortIo::~MachinePortIo() {
  if (handler_) RemoveVectoredExceptionHandler(handler_);
}

void MachinePortIo::PortWrite(uint16_t port, uint8_t value) {
  if (g_refused.load()) return;
  PortInstructionScope scope;
  __outbyte(port, value);
}

uint8_t MachinePortIo::PortRead(uint16_t port) {
  if (g_refused.load()) return 0xFF;
  PortInstructionScope scope;
  return __inbyte(port);
}

void MachinePortIo::SleepMs(uint32_t ms) {
  Sleep(ms);
}

bool MachinePortIo::Refused() const {
  return g_refused.load();
}

bool MachinePortsAccessible(MachinePortIo& io) {
  for (const uint16_t port : {0x80, 0x3C4, 0x3C5, 0x3D4, 0x3D5}) {
    io.PortRead(port);
    if (io.Refused()) return false;
  }
  return true;
}
