#include "sim/SimClock.h"

#include <thread>

RealClock::RealClock() : start_(std::chrono::steady_clock::now()) {}

double RealClock::NowMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
      .count();
}

void RealClock::SleepMs(uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
