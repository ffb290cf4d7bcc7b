// A bus slave at line level. Every slave watches both lines itself and drives only
// SDA (open drain: it can pull the line low or let it go). Byte-level behaviour is
// left to the chip models through the hooks below.
#pragma once

#include <cstdint>

class I2cSlave {
 public:
  virtual ~I2cSlave() = default;

  // Called with the resolved line levels after every change on the bus.
  void OnLines(bool scl, bool sda);
  // False while the slave pulls SDA low.
  bool SdaReleased() const { return sdaReleased_; }
  // Forget any transfer in progress (power-up).
  void ResetLineState();

 protected:
  // 8-bit address with the read flag in bit 0.
  virtual bool AcceptsAddress(uint8_t address) = 0;
  virtual void OnAddressed(uint8_t address) { (void)address; }
  // A byte written by the master after the address; true acknowledges it.
  virtual bool OnWriteByte(uint8_t value) = 0;
  // The next byte the master reads.
  virtual uint8_t OnReadByte() = 0;
  virtual void OnStop() {}

 private:
  enum class State {
    Idle,     // no transfer, or not addressed: wait for START
    Address,  // shifting in the address byte
    AckOut,   // acknowledging (address or written byte) during the ninth clock
    Write,    // shifting in a data byte
    Read,     // shifting out a data byte
    ReadAck,  // the master's acknowledge clock after a read byte
  };

  void Drive(bool released) { sdaReleased_ = released; }
  void OnRisingClock(bool sda);
  void OnFallingClock();

  State state_ = State::Idle;
  bool lastScl_ = true;
  bool lastSda_ = true;
  bool sdaReleased_ = true;
  bool selected_ = false;
  bool reading_ = false;
  bool masterAck_ = false;
  int bits_ = 0;
  uint8_t shift_ = 0;
};
