#include "sim/I2cSlave.h"

void I2cSlave::ResetLineState() {
  state_ = State::Idle;
  lastScl_ = lastSda_ = true;
  sdaReleased_ = true;
  selected_ = reading_ = masterAck_ = false;
  bits_ = 0;
  shift_ = 0;
}

void I2cSlave::OnLines(bool scl, bool sda) {
  const bool wasScl = lastScl_;
  const bool wasSda = lastSda_;
  lastScl_ = scl;
  lastSda_ = sda;

  if (scl && wasScl && wasSda != sda) {
    // SDA moved while the clock stayed high: a bus condition, valid in any state.
    Drive(true);
    if (!sda) {  // START or repeated START
      state_ = State::Address;
      bits_ = 0;
      shift_ = 0;
    } else {  // STOP
      if (selected_) OnStop();
      selected_ = false;
      state_ = State::Idle;
    }
    return;
  }
  if (!wasScl && scl) OnRisingClock(sda);
  if (wasScl && !scl) OnFallingClock();
}

// assert: SCL just rose; data is stable and the receiver samples it.
void I2cSlave::OnRisingClock(bool sda) {
  switch (state_) {
    case State::Address:
    case State::Write:
      if (bits_ < 8) {
        shift_ = static_cast<uint8_t>((shift_ << 1) | (sda ? 1 : 0));
        ++bits_;
      }
      break;
    case State::Read:
      ++bits_;  // the master samples the bit we are driving
      break;
    case State::ReadAck:
      masterAck_ = !sda;
      break;
    case State::Idle:
    case State::AckOut:
      break;
  }
}

// assert: SCL just fell; the transmitter may change SDA now.
void I2cSlave::OnFallingClock() {
  switch (state_) {
    case State::Address:
      if (bits_ < 8) break;
      if (!AcceptsAddress(shift_)) {
        state_ = State::Idle;  // not ours: sit out until the next condition
        break;
      }
      selected_ = true;
      reading_ = (shift_ & 1) != 0;
      OnAddressed(shift_);
      Drive(false);
      state_ = State::AckOut;
      break;
    case State::Write:
      if (bits_ < 8) break;
      Drive(!OnWriteByte(shift_));
      state_ = State::AckOut;
      break;
    case State::AckOut:
      Drive(true);
      bits_ = 0;
      shift_ = 0;
      if (reading_) {
        shift_ = OnReadByte();
        Drive((shift_ & 0x80) != 0);
        state_ = State::Read;
      } else {
        state_ = State::Write;
      }
      break;
    case State::Read:
      if (bits_ == 0) break;
      if (bits_ >= 8) {
        Drive(true);  // let the master acknowledge
        state_ = State::ReadAck;
        masterAck_ = false;
      } else {
        Drive(((shift_ << bits_) & 0x80) != 0);
      }
      break;
    case State::ReadAck:
      if (masterAck_) {
        bits_ = 0;
        shift_ = OnReadByte();
        Drive((shift_ & 0x80) != 0);
        state_ = State::Read;
      } else {
        Drive(true);
        state_ = State::Idle;  // master is done; it will send STOP
      }
      break;
    case State::Idle:
      break;
  }
}
