// Cost of the simulated bus: one decoder register write through the real bus code,
// on the simulated board and, as the reference, on a port that does nothing. The
// ratio is the board's price per port access; the bus code's own cost is the same in both.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "BenchSummary.h"
#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/PortIo.h"
#include "sim/SimBoard.h"

namespace {

class NullPort final : public PortIo {
 public:
  void PortWrite(uint16_t, uint8_t value) override { benchmark::DoNotOptimize(value); }
  uint8_t PortRead(uint16_t) override { return 0xF3; }  // SCL and SDA read low: acknowledged
  void SleepMs(uint32_t) override {}
};

void BM_RegisterWrite_NullPort(benchmark::State& state) {
  NullPort port;
  InstallPortIo(&port);
  for (auto _ : state) I2cWriteRegister(0x48, 0x0A, 0x80);
  InstallPortIo(nullptr);
}
BENCHMARK(BM_RegisterWrite_NullPort);

void BM_RegisterWrite_SimBoard(benchmark::State& state) {
  FakeClock clock;
  SimBoard board(SimScenario{}, clock);
  InstallPortIo(&board);
  for (auto _ : state) I2cWriteRegister(0x48, 0x0A, 0x80);
  InstallPortIo(nullptr);
}
BENCHMARK(BM_RegisterWrite_SimBoard);

void BM_DecoderInit_SimBoard(benchmark::State& state) {
  FakeClock clock;
  SimBoard board(SimScenario{}, clock);
  InstallPortIo(&board);
  for (auto _ : state) DecoderInit();
  InstallPortIo(nullptr);
}
BENCHMARK(BM_DecoderInit_SimBoard);

// The ratio of the two register writes measured in this same run.
[[maybe_unused]] const bool kBusSummary = AddBenchSummary([](const BenchTimes& times) {
  const double nullNs = BenchTime(times, "BM_RegisterWrite_NullPort");
  const double simNs = BenchTime(times, "BM_RegisterWrite_SimBoard");
  if (nullNs > 0 && simNs > 0)
    std::printf("simulated board / null port, per register write: %.2fx\n", simNs / nullNs);
});

}  // namespace
