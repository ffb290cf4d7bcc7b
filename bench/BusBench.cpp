// Cost of the simulated bus: one decoder register write through the real bus code,
// on the simulated board and, as the reference, on a port that does nothing. The
// ratio is the board's price per port access; the bus code's own cost is the same in both.
#include <benchmark/benchmark.h>

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

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // Report the ratio of the two register writes measured in this same run.
  struct Ratio : benchmark::ConsoleReporter {
    double nullNs = 0, simNs = 0;
    void ReportRuns(const std::vector<Run>& runs) override {
      for (const Run& run : runs) {
        const std::string name = run.benchmark_name();
        if (name == "BM_RegisterWrite_NullPort") nullNs = run.GetAdjustedRealTime();
        if (name == "BM_RegisterWrite_SimBoard") simNs = run.GetAdjustedRealTime();
      }
      ConsoleReporter::ReportRuns(runs);
    }
  } reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (reporter.nullNs > 0) {
    std::printf("simulated board / null port, per register write: %.2fx\n",
                reporter.simNs / reporter.nullNs);
  }
  benchmark::Shutdown();
  return 0;
}
