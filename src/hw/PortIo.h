// The one contact with the board: byte-wide I/O port accesses and the bus's
// millisecond sleep. The program installs the simulated board here at start;
// tests install their own ports and clocks.
#pragma once

#include <cstdint>

class PortIo {
 public:
  virtual ~PortIo() = default;
  virtual void PortWrite(uint16_t port, uint8_t value) = 0;
  virtual uint8_t PortRead(uint16_t port) = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

// Installs the port the hardware layer talks to (nullptr: no board, reads float high).
void InstallPortIo(PortIo* io);
PortIo* InstalledPortIo();

void PortWrite(uint16_t port, uint8_t value);
uint8_t PortRead(uint16_t port);
void PortSleep(uint32_t ms);
