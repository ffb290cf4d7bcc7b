// A logic analyser on the bus: turns line changes into one text line per transaction,
//   "<ms since power-up> S 48+ 0A+ 80+ P"
// S a START, Sr a repeated START, XX+ / XX- a byte written (acknowledged or not),
// rXX a byte read by the master, P a STOP. A START after an unacknowledged byte
// without a STOP in between begins a new line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class BusTrace {
 public:
  using Sink = std::function<void(const std::string& line)>;
  explicit BusTrace(Sink sink) : sink_(std::move(sink)) {}

  void OnLines(double nowMs, bool scl, bool sda);
  // Emits a transaction still open (the bus powering down mid-transfer).
  void Flush();

 private:
  void Begin(double nowMs);
  void Emit();

  Sink sink_;
  std::string line_;
  bool lastScl_ = true;
  bool lastSda_ = true;
  bool open_ = false;
  bool expectAddress_ = false;
  bool reading_ = false;
  bool lastNacked_ = false;
  int bits_ = 0;
  uint8_t shift_ = 0;
};
