#include "hw/I2cBus.h"

#include "hw/PortIo.h"
#include "hw/RegisterPort.h"

namespace {

constexpr int kBusDelayReads = 32;
constexpr int kConditionWaitReads = 64;
constexpr int kProbeWaitReads = 128;
constexpr uint32_t kReadAddressHoldMs = 100;

// Probe's own clock wait: up to 128 reads of the lines for SCL high.
bool ProbeWaitClockHigh() {
  int counter = kProbeWaitReads;
  for (;;) {
    if (ReadBusLines() & kReadScl) return true;
    if (--counter == 0) return false;
  }
}

}  // namespace

void BusDelay() {
  for (int i = 0; i < kBusDelayReads; ++i) (void)PortRead(kDelayPort);
}

void SetBusLines(uint8_t lines) {
  WriteExtRegister(kBusOutputRegister, static_cast<uint8_t>(lines + 1));
  BusDelay();
}

uint8_t ReadBusLines() {
  return static_cast<uint8_t>(ReadExtRegister(kBusInputRegister) >> 2);
}

void WaitClockHigh() {
  for (int i = 0; i < kConditionWaitReads; ++i) {
    if (ReadBusLines() & kReadScl) return;
  }
}

void WaitDataHigh() {
  for (int i = 0; i < kConditionWaitReads; ++i) {
    if (ReadBusLines() & kReadSda) return;
  }
}

// assert: SCL low or idle. Leaves SCL high, SDA low.
void I2cStart() {
  SetBusLines(0x30);
  WaitClockHigh();
  SetBusLines(0x20);
}

// Leaves both lines released (idle).
void I2cStop() {
  SetBusLines(0x20);
  WaitClockHigh();
  SetBusLines(0x30);
  WaitDataHigh();
}

// MSB first; each bit: data with SCL low, clock high, wait for the slave, clock low.
// Leaves SCL low.
void I2cWriteByte(uint8_t value) {
  for (int bit = 7; bit >= 0; --bit) {
    const uint8_t d = (value >> bit) & 1 ? kLineSda : 0x00;
    SetBusLines(d);
    SetBusLines(static_cast<uint8_t>(d + kLineScl));
    WaitClockHigh();
    SetBusLines(d);
  }
}

// Releases SDA, clocks the ninth bit and polls for the slave pulling SDA low.
// Leaves SCL low, SDA released.
void I2cWaitAck() {
  SetBusLines(0x10);
  SetBusLines(0x30);
  WaitClockHigh();
  int counter = kConditionWaitReads;
  while (--counter != 0) {
    if (!(ReadBusLines() & kReadSda)) break;
  }
  SetBusLines(0x10);
}

uint8_t I2cReadByte() {
  uint8_t value = 0;
  for (int i = 0; i < 8; ++i) {
    SetBusLines(0x10);
    SetBusLines(0x30);
    WaitClockHigh();
    const uint8_t lines = ReadBusLines();
    value = static_cast<uint8_t>((value << 1) | ((lines >> 1) & 1));
    SetBusLines(0x10);
  }
  return value;
}

void I2cWriteRegister(uint8_t address, uint8_t subaddress, uint8_t value) {
  I2cStart();
  I2cWriteByte(address);
  I2cWaitAck();
  I2cWriteByte(subaddress);
  I2cWaitAck();
  I2cWriteByte(value);
  I2cWaitAck();
  I2cStop();
}

uint8_t I2cReadRegister(uint8_t address, uint8_t subaddress) {
  I2cStart();
  I2cWriteByte(address);
  I2cWaitAck();
  I2cWriteByte(subaddress);
  I2cWaitAck();
  I2cStart();
  I2cWriteByte(static_cast<uint8_t>(address + 1));
  // The slave gets its time with SCL held low before the read address is acknowledged.
  PortSleep(kReadAddressHoldMs);
  I2cWaitAck();
  const uint8_t value = I2cReadByte();
  I2cStop();
  return value;
}

// Self-contained: every wait may run out, which makes the probe fail at once
// with the lines left as last written.
bool I2cProbe(uint8_t address) {
  SetBusLines(0x30);
  if (!ProbeWaitClockHigh()) return false;
  SetBusLines(0x20);  // START
  for (int bit = 7; bit >= 0; --bit) {
    const uint8_t d = (address >> bit) & 1 ? kLineSda : 0x00;
    SetBusLines(d);
    SetBusLines(static_cast<uint8_t>(d + kLineScl));
    if (!ProbeWaitClockHigh()) return false;
    SetBusLines(d);
  }
  SetBusLines(0x10);
  SetBusLines(0x30);
  if (!ProbeWaitClockHigh()) return false;

  int counter = kProbeWaitReads;
  for (;;) {
    if (--counter == 0) return false;
    if (!(ReadBusLines() & kReadSda)) break;
  }

  SetBusLines(0x10);
  SetBusLines(0x20);
  // Fresh count for the clock wait; the STOP below goes on with what it leaves.
  counter = kProbeWaitReads;
  for (;;) {
    if (ReadBusLines() & kReadScl) break;
    if (--counter == 0) return false;
  }
  SetBusLines(0x30);  // STOP
  for (;;) {
    if (ReadBusLines() & kReadSda) return true;
    if (--counter == 0) return false;
  }
}
