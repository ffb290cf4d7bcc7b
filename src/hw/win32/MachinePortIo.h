// The board's ports as the processor reaches them: the program executes the port
// instructions itself. Whether the system lets it is the system's business (a port
// access driver, or a platform without protection); where it does not, the refused
// instruction is caught here instead of ending the program, and from then on the ports
// behave as if no board were fitted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hw/PortIo.h"

class MachinePortIo final : public PortIo {
 public:
  // Catches refused port instructions of every thread while it exists.
  MachinePortIo();
  ~MachinePortIo() override;
  MachinePortIo(const MachinePortIo&) = delete;
  MachinePortIo& operator=(const MachinePortIo&) = delete;

  void PortWrite(uint16_t port, uint8_t value) override;
  uint8_t PortRead(uint16_t port) override;
  void SleepMs(uint32_t ms) override;

  // The ports are out of reach: the system refused a port instruction (or a refusal
  // could not be caught), and none has been tried since.
  bool Refused() const;

 private:
  void* handler_ = nullptr;
};

// A port instruction (in or out, any width, port in DX or an immediate, after any
// prefixes) at `code`: its length in bytes, whether it reads, and its width (1, 2, 4).
struct PortInstruction {
  size_t length = 0;
  bool reads = false;
  int width = 1;
};
bool DecodePortInstruction(const uint8_t* code, PortInstruction& out);

// Reads each port the program uses once (reads only: they change nothing on the card).
// False when the system refuses any of them.
bool MachinePortsAccessible(MachinePortIo& io);
