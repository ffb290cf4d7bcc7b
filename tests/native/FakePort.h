// Test doubles for the board's port interface.
//
// FakePort records every port access and models the graphics chip only as far
// as the bus needs: writes of CRTC register 0x3F are line words, reads of CRTC
// register 0x3E answer from a script. FakeI2cSlavePort adds devices on the bus
// that follow the line traffic and answer at the bit level.
//
// Both install themselves as the board's port for their lifetime.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hw/PortIo.h"

class FakePort : public PortIo {
 public:
  struct Access {
    enum Kind { kWrite, kRead, kSleep } kind;
    uint16_t port;   // 0 for a sleep
    uint32_t value;  // value written, value returned, or milliseconds slept
  };

  static constexpr uint8_t kBothHigh = 0x0C;  // register 0x3E: bit 2 SCL, bit 3 SDA

  FakePort() : previous_(InstalledPortIo()) { InstallPortIo(this); }
  ~FakePort() override { InstallPortIo(previous_); }
  FakePort(const FakePort&) = delete;
  FakePort& operator=(const FakePort&) = delete;

  // Answers `first` in turn, then `then` for ever.
  static std::function<uint8_t()> Script(std::vector<uint8_t> first, uint8_t then) {
    return [first = std::move(first), then, next = size_t{0}]() mutable {
      return next < first.size() ? first[next++] : then;
    };
  }

  // What reads of register 0x3E return (raw register value, before the shift).
  std::function<uint8_t()> busInput = [] { return kBothHigh; };

  std::vector<Access> log;
  uint64_t nowMs = 0;

  void PortWrite(uint16_t port, uint8_t value) override {
    log.push_back({Access::kWrite, port, value});
    if (port == 0x3D4) crtcIndex_ = value;
    if (port == 0x3D5 && crtcIndex_ == 0x3F) OnLineWord(static_cast<uint8_t>(value - 1));
  }

  uint8_t PortRead(uint16_t port) override {
    uint8_t value = 0xFF;  // undecoded ports, and the delay port 0x80, float high
    if (port == 0x3D5 && crtcIndex_ == 0x3E) value = BusInput();
    log.push_back({Access::kRead, port, value});
    return value;
  }

  void SleepMs(uint32_t ms) override {
    log.push_back({Access::kSleep, 0, ms});
    nowMs += ms;
  }

  size_t Writes(uint16_t port) const { return Count(Access::kWrite, port); }
  size_t Reads(uint16_t port) const { return Count(Access::kRead, port); }

  // Line words written so far (register 0x3F writes minus the always-set bit 0).
  std::vector<uint8_t> LineWords() const {
    std::vector<uint8_t> words;
    Replay([&](char kind, uint32_t value) {
      if (kind == 'w') words.push_back(static_cast<uint8_t>(value));
    });
    return words;
  }

  // The bus traffic as text: line words in hex, "r" / "rN" for N consecutive
  // line reads, "sN" for a sleep of N ms, e.g. "30 r 20 00 20 r64 00".
  std::string LineTrace() const {
    std::string out;
    int reads = 0;
    auto flushReads = [&] {
      if (reads == 0) return;
      out += reads == 1 ? std::string(" r") : " r" + std::to_string(reads);
      reads = 0;
    };
    Replay([&](char kind, uint32_t value) {
      if (kind == 'r') {
        ++reads;
        return;
      }
      flushReads();
      char item[16];
      std::snprintf(item, sizeof item, kind == 'w' ? " %02X" : " s%u",
                    static_cast<unsigned>(value));
      out += item;
    });
    flushReads();
    return out.empty() ? out : out.substr(1);
  }

  void ClearLog() { log.clear(); }

 protected:
  virtual void OnLineWord(uint8_t) {}
  virtual uint8_t BusInput() { return busInput(); }

 private:
  size_t Count(Access::Kind kind, uint16_t port) const {
    size_t n = 0;
    for (const Access& a : log) n += a.kind == kind && a.port == port;
    return n;
  }

  // Calls f('w', word), f('r', raw 0x3E value) or f('s', ms) for each bus event in order.
  template <typename F>
  void Replay(F f) const {
    uint8_t index = 0;
    for (const Access& a : log) {
      if (a.kind == Access::kSleep) {
        f('s', a.value);
      } else if (a.kind == Access::kWrite && a.port == 0x3D4) {
        index = static_cast<uint8_t>(a.value);
      } else if (a.port == 0x3D5 && a.kind == Access::kWrite && index == 0x3F) {
        f('w', static_cast<uint8_t>(a.value - 1));
      } else if (a.port == 0x3D5 && a.kind == Access::kRead && index == 0x3E) {
        f('r', a.value);
      }
    }
  }

  PortIo* previous_;
  uint8_t crtcIndex_ = 0;
};

// Devices on the two-wire bus, each with a subaddress pointer and a register
// file (writes auto-increment the pointer). The master's data changes are taken
// to happen while SCL is low, so a word that moves both lines at once is never
// mistaken for a START or STOP. The slave changes SDA only on falling clocks.
class FakeI2cSlavePort : public FakePort {
 public:
  struct Transfer {
    bool read;
    uint8_t address;  // write address (even)
    uint8_t reg;
    uint8_t value;
  };

  static constexpr uint8_t kStatusDevice = 0x48;
  static constexpr uint8_t kStatusRegister = 0x1F;

  // Write addresses (even) that acknowledge.
  std::set<uint8_t> present;
  std::map<uint8_t, std::array<uint8_t, 256>> registers;
  // Answers reads of register 0x1F at 0x48 in turn, the last one repeating;
  // empty: the register file answers.
  std::vector<uint8_t> status;
  std::vector<Transfer> transfers;

  uint8_t Register(uint8_t address, uint8_t reg) { return registers[address][reg]; }
  size_t StatusReads() const {
    size_t n = 0;
    for (const Transfer& t : transfers)
      n += t.read && t.address == kStatusDevice && t.reg == kStatusRegister;
    return n;
  }
  bool BusIdle() const { return masterScl_ && SdaLevel() && mode_ == kIdle; }

 protected:
  void OnLineWord(uint8_t word) override {
    const bool scl = word & 0x20;
    const bool rising = scl && !masterScl_;
    if (!scl && masterScl_) {
      masterScl_ = false;
      ClockFalls();
    }
    const bool before = SdaLevel();
    masterSda_ = word & 0x10;
    if (masterScl_ && before != SdaLevel()) SdaLevel() ? Stop() : Start();
    if (rising) {
      masterScl_ = true;
      ClockRises();
    }
  }

  uint8_t BusInput() override {
    // The unused bits read as ones so that a reader that fails to mask them shows up.
    return static_cast<uint8_t>(0xF3 | (masterScl_ ? 0x04 : 0) | (SdaLevel() ? 0x08 : 0));
  }

 private:
  enum Mode { kIdle, kAddress, kSubaddress, kData, kTransmit, kIgnore };

  bool SdaLevel() const { return masterSda_ && !slaveSdaLow_; }

  void Start() {
    mode_ = kAddress;
    bits_ = 0;
    shift_ = 0;
    acking_ = false;
    slaveSdaLow_ = false;
  }

  void Stop() {
    mode_ = kIdle;
    slaveSdaLow_ = false;
  }

  void ClockRises() {
    if (mode_ == kIdle || mode_ == kIgnore || acking_) return;
    if (mode_ == kTransmit) {
      ++bits_;
    } else if (bits_ < 8) {
      shift_ = static_cast<uint8_t>((shift_ << 1) | SdaLevel());
      ++bits_;
    }
  }

  void ClockFalls() {
    if (mode_ == kIdle || mode_ == kIgnore) return;
    if (acking_) {  // end of the acknowledge clock
      acking_ = false;
      slaveSdaLow_ = false;
      bits_ = 0;
      shift_ = 0;
      if (mode_ == kTransmit) LoadByteToSend();
      return;
    }
    if (mode_ == kTransmit) {
      if (bits_ < 8) {
        slaveSdaLow_ = !((txByte_ >> (7 - bits_)) & 1);
      } else {  // the master's acknowledge clock; one byte per read
        slaveSdaLow_ = false;
        mode_ = kIgnore;
      }
      return;
    }
    if (bits_ < 8) return;
    ByteReceived(shift_);
  }

  void ByteReceived(uint8_t byte) {
    if (mode_ == kAddress) {
      address_ = static_cast<uint8_t>(byte & 0xFE);
      if (!present.count(address_)) {
        mode_ = kIgnore;
        return;
      }
      mode_ = (byte & 1) ? kTransmit : kSubaddress;
    } else if (mode_ == kSubaddress) {
      pointer_ = byte;
      mode_ = kData;
    } else {
      registers[address_][pointer_] = byte;
      transfers.push_back({false, address_, pointer_, byte});
      ++pointer_;
    }
    acking_ = true;
    slaveSdaLow_ = true;
  }

  void LoadByteToSend() {
    txByte_ = registers[address_][pointer_];
    if (address_ == kStatusDevice && pointer_ == kStatusRegister && !status.empty()) {
      txByte_ = status[std::min(statusNext_, status.size() - 1)];
      ++statusNext_;
    }
    transfers.push_back({true, address_, pointer_, txByte_});
    slaveSdaLow_ = !(txByte_ & 0x80);
  }

  bool masterScl_ = true;
  bool masterSda_ = true;
  bool slaveSdaLow_ = false;
  bool acking_ = false;
  Mode mode_ = kIdle;
  int bits_ = 0;
  uint8_t shift_ = 0;
  uint8_t address_ = 0;
  uint8_t pointer_ = 0;
  uint8_t txByte_ = 0;
  size_t statusNext_ = 0;
};
