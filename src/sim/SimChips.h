// Models of the chips on the board's bus.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/I2cSlave.h"

// A slave with a subaddress pointer that advances after every byte, read or write.
class RegisterFileSlave : public I2cSlave {
 public:
  explicit RegisterFileSlave(uint8_t writeAddress) : address_(writeAddress) {}
  void SetPresent(bool present) { present_ = present; }
  bool Present() const { return present_; }

  uint8_t Register(uint8_t index) const { return regs_[index]; }
  void SetRegister(uint8_t index, uint8_t value) { regs_[index] = value; }
  // Every register write in order, as (subaddress, value): what the chip was told.
  const std::vector<std::pair<uint8_t, uint8_t>>& WriteLog() const { return writeLog_; }
  void ClearWriteLog() { writeLog_.clear(); }

 protected:
  bool AcceptsAddress(uint8_t address) override { return present_ && (address & 0xFE) == address_; }
  void OnAddressed(uint8_t address) override { expectSubaddress_ = (address & 1) == 0; }
  bool OnWriteByte(uint8_t value) override;
  uint8_t OnReadByte() override;
  virtual bool IsReadOnly(uint8_t) const { return false; }
  virtual uint8_t ReadRegister(uint8_t index) { return regs_[index]; }

 private:
  uint8_t address_;
  bool present_ = true;
  bool expectSubaddress_ = false;
  uint8_t pointer_ = 0;
  std::array<uint8_t, 256> regs_{};
  std::vector<std::pair<uint8_t, uint8_t>> writeLog_;
};

// Video decoder at 0x48/0x49: 32 registers; 0x1F is the status byte, computed from
// what the selected input carries and how the standard registers are programmed.
class SimDecoder final : public RegisterFileSlave {
 public:
  // VideoStandard the source on a decoder input mode carries, or -1 for no signal.
  using SourceForInput = std::function<int(int inputMode)>;

  SimDecoder();
  void SetSourceForInput(SourceForInput source) { sourceForInput_ = std::move(source); }
  // A decoder still in its power-on reset ignores the first few addressings.
  void SetDeafAddressings(int count) { deafAddressings_ = count; }

  int InputMode() const { return Register(0x02) & 0x07; }
  // Field rate the decoder runs at: the source's under automatic detection, else fixed.
  bool Decodes60Hz() const;
  // The standard the colour decoder is set to, or -1 when the combination names none.
  int DecodedStandard() const;
  bool OutputEnabled() const { return (Register(0x11) & 0x0C) == 0x0C; }
  uint8_t Status() const;

 protected:
  bool AcceptsAddress(uint8_t address) override;
  bool IsReadOnly(uint8_t index) const override { return index == 0x00 || index >= 0x1A; }
  uint8_t ReadRegister(uint8_t index) override;

 private:
  int CurrentSource() const;
  SourceForInput sourceForInput_;
  int deafAddressings_ = 0;
};

// PLL tuner: four bytes per write (two divider bytes, control, band switch); one
// status byte on read. Answers at 0xC0 and, when so fitted, at 0xC2.
class SimTuner final : public I2cSlave {
 public:
  // Station strength at a local-oscillator frequency (0: nothing, 1..3: a station);
  // the broadcast world knows which intermediate frequency each plan assumes.
  using StationAt = std::function<int(double oscillatorHz)>;

  void SetAddresses(bool at0xC0, bool at0xC2) {
    atC0_ = at0xC0;
    atC2_ = at0xC2;
  }
  void SetStationAt(StationAt stationAt) { stationAt_ = std::move(stationAt); }

  uint16_t Divider() const { return divider_; }
  uint8_t Control() const { return control_; }
  uint8_t Band() const { return band_; }
  uint32_t Writes() const { return writes_; }
  // Local oscillator: divider x 62.5 kHz.
  double OscillatorHz() const;
  uint8_t Status() const;

 protected:
  bool AcceptsAddress(uint8_t address) override;
  void OnAddressed(uint8_t address) override;
  bool OnWriteByte(uint8_t value) override;
  uint8_t OnReadByte() override { return Status(); }

 private:
  bool atC0_ = true;
  bool atC2_ = true;
  int byteIndex_ = 0;
  uint8_t bytes_[4] = {};
  uint16_t divider_ = 0;
  uint8_t control_ = 0;
  uint8_t band_ = 0;
  uint32_t writes_ = 0;
  StationAt stationAt_;
};

// Audio processor at 0x82: a plain register file.
class SimAudio final : public RegisterFileSlave {
 public:
  SimAudio() : RegisterFileSlave(0x82) {}
};

// 8-bit port expander at 0x42: one latch, written and read back whole.
class SimExpander final : public I2cSlave {
 public:
  uint8_t Latch() const { return latch_; }

 protected:
  bool AcceptsAddress(uint8_t address) override { return (address & 0xFE) == 0x42; }
  bool OnWriteByte(uint8_t value) override {
    latch_ = value;
    return true;
  }
  uint8_t OnReadByte() override { return latch_; }

 private:
  uint8_t latch_ = 0xFF;  // quasi-bidirectional pins come up high
};
