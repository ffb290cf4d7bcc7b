// Time base of the simulated board. The program runs on the wall clock; tests run on
// a fake clock that only moves when the bus sleeps or touches a port, so long bus
// sequences cost no real time and their timestamps are reproducible.
#pragma once

#include <chrono>
#include <cstdint>

class SimClock {
 public:
  virtual ~SimClock() = default;
  virtual double NowMs() const = 0;
  virtual void SleepMs(uint32_t ms) = 0;
  // Charged for each port access; the wall clock ignores it (real time passes anyway).
  virtual void Charge(double ms) = 0;
};

class RealClock final : public SimClock {
 public:
  RealClock();
  double NowMs() const override;
  void SleepMs(uint32_t ms) override;
  void Charge(double) override {}

 private:
  std::chrono::steady_clock::time_point start_;
};

class FakeClock final : public SimClock {
 public:
  double NowMs() const override { return now_; }
  void SleepMs(uint32_t ms) override { now_ += ms; }
  void Charge(double ms) override { now_ += ms; }

 private:
  double now_ = 0.0;
};
