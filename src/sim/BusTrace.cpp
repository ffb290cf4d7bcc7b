#include "sim/BusTrace.h"

#include <cstdio>

void BusTrace::Begin(double nowMs) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.3f S", nowMs);
  line_ = stamp;
  open_ = true;
}

void BusTrace::Emit() {
  if (open_ && sink_) sink_(line_);
  line_.clear();
  open_ = false;
}

void BusTrace::Flush() {
  Emit();
}

void BusTrace::OnLines(double nowMs, bool scl, bool sda) {
  const bool wasScl = lastScl_;
  const bool wasSda = lastSda_;
  lastScl_ = scl;
  lastSda_ = sda;

  if (scl && wasScl && wasSda != sda) {
    if (!sda) {  // START
      if (!open_) {
        Begin(nowMs);
      } else if (lastNacked_) {
        Emit();
        Begin(nowMs);
      } else {
        line_ += " Sr";
      }
      expectAddress_ = true;
      reading_ = false;
      lastNacked_ = false;
    } else if (open_) {  // STOP
      line_ += " P";
      Emit();
    }
    bits_ = 0;
    shift_ = 0;
    return;
  }

  if (!open_ || wasScl || !scl) return;

  // Rising clock inside a transaction: eight data bits, then the acknowledge bit.
  if (bits_ < 8) {
    shift_ = static_cast<uint8_t>((shift_ << 1) | (sda ? 1 : 0));
    ++bits_;
    return;
  }
  const bool acked = !sda;
  char text[8];
  if (reading_ && !expectAddress_) {
    std::snprintf(text, sizeof text, " r%02X", shift_);
    lastNacked_ = false;
  } else {
    std::snprintf(text, sizeof text, " %02X%c", shift_, acked ? '+' : '-');
    lastNacked_ = !acked;
    if (expectAddress_) {
      reading_ = (shift_ & 1) != 0;
      expectAddress_ = false;
    }
  }
  line_ += text;
  bits_ = 0;
  shift_ = 0;
}
