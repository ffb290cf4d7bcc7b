// Cost of one field of the simulated video port, per input and geometry, against the
// field period it must fit in many times over, and against copying a field's bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "BenchSummary.h"
#include "hw/Decoder.h"
#include "hw/I2cBus.h"
#include "hw/PortIo.h"
#include "sim/SimBoard.h"
#include "sim/VideoEngine.h"

namespace {

enum class Input { Composite, SVideo, StrongStation, WeakStation, Snow };

struct Case {
  const char* name;
  Input input;
  int standard;
  VideoPortSetup setup;
};

VideoPortSetup Geometry(int fieldHeight, int width = 720, int lines = 0) {
  VideoPortSetup setup;
  setup.fieldHeight = fieldHeight;
  setup.prescale = width != 720 || (lines && lines != fieldHeight);
  setup.prescaleWidth = width;
  setup.prescaleHeight = lines ? lines : fieldHeight;
  return setup;
}

const Case kCases[] = {
    {"BM_VideoField_TestCard_720x251", Input::Composite, kNtscM, Geometry(251)},
    {"BM_VideoField_TestCard_720x288", Input::Composite, kPalBghi, Geometry(288)},
    {"BM_VideoField_TestCard_Prescaled_360x126", Input::Composite, kNtscM, Geometry(251, 360, 126)},
    {"BM_VideoField_SVideo_720x251", Input::SVideo, kNtscM, Geometry(251)},
    {"BM_VideoField_Station_720x288", Input::StrongStation, kPalBghi, Geometry(288)},
    {"BM_VideoField_WeakStation_720x251", Input::WeakStation, kNtscM, Geometry(251)},
    {"BM_VideoField_Snow_720x251", Input::Snow, kNtscM, Geometry(251)},
};

// Tunes the oscillator to a vision carrier plus an intermediate frequency.
void Tune(double oscillatorMHz) {
  const int divider = static_cast<int>(std::lround(oscillatorMHz * 1e6 / 62500.0));
  I2cStart();
  for (const int byte : {0xC0, divider >> 8, divider & 0xFF, 0x8E, 0x01}) {
    I2cWriteByte(static_cast<uint8_t>(byte));
    I2cWaitAck();
  }
  I2cStop();
}

void RenderCase(benchmark::State& state, const Case& c) {
  SimScenario scenario;
  scenario.compositeStandard = c.standard;
  scenario.svideoStandard = c.standard;
  scenario.broadcast.stations = {{"News 31", 265250, c.standard, 3},
                                 {"Shop 45", 349250, c.standard, 1}};
  FakeClock clock;
  SimBoard board(scenario, clock);
  InstallPortIo(&board);
  DecoderInit();
  DecoderSetStandard(static_cast<uint32_t>(c.standard));
  switch (c.input) {
    case Input::Composite:
      DecoderSelectComposite();
      break;
    case Input::SVideo:
      DecoderSelectSVideo();
      break;
    case Input::StrongStation:
      DecoderSelectTunerVideo(), Tune(265.25 + 45.75);
      break;
    case Input::WeakStation:
      DecoderSelectTunerVideo(), Tune(349.25 + 45.75);
      break;
    case Input::Snow:
      DecoderSelectTunerVideo(), Tune(300.0);
      break;
  }
  InstallPortIo(nullptr);

  const int pitch = 720 * 2;
  std::vector<uint8_t> surface(static_cast<size_t>(pitch) * 289);
  uint64_t field = 0;
  for (auto _ : state) {
    board.Engine().RenderField(surface.data(), pitch, c.setup, field++);
    benchmark::DoNotOptimize(surface.data());
  }
}

// The floor: moving a 720 x 251 field's bytes once.
void BM_VideoField_Copy_720x251(benchmark::State& state) {
  std::vector<uint8_t> from(720 * 2 * 251, 0x80), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
  }
}

void Repeated(benchmark::internal::Benchmark* b) {
  b->Repetitions(5)
      ->DisplayAggregatesOnly(true)
      ->ComputeStatistics(
          "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
      ->MinTime(0.1)
      ->Unit(benchmark::kMicrosecond);
}

const bool kRegistered = [] {
  for (const Case& c : kCases) {
    Repeated(benchmark::RegisterBenchmark(c.name,
                                          [&c](benchmark::State& state) { RenderCase(state, c); }));
  }
  Repeated(benchmark::RegisterBenchmark("BM_VideoField_Copy_720x251", BM_VideoField_Copy_720x251));
  return AddBenchSummary([](const BenchTimes& times) {
    const double copy = BenchTime(times, "BM_VideoField_Copy_720x251");
    bool header = false;
    for (const Case& c : kCases) {
      const double ns = BenchTime(times, c.name);
      if (ns <= 0) continue;
      if (!header) {
        std::printf("\nvideo port engine, one field (best of the runs):\n");
        header = true;
      }
      const double periodMs = 1000.0 / FieldRateForStandard(c.standard);
      const double ms = ns / 1e6;
      std::printf("  %-42s %7.3f ms/field  %5.2f%% of the %.2f ms field period (goal <= 1%%)",
                  c.name, ms, 100.0 * ms / periodMs, periodMs);
      if (copy > 0) std::printf("  %5.1fx a field copy", ns / copy);
      std::printf("\n");
    }
  });
}();

}  // namespace
