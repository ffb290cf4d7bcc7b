// The benchmark program's main: runs the selected benchmarks with the console reporter,
// keeps the best time of each, then prints every registered summary.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "BenchSummary.h"

namespace {

std::vector<std::function<void(const BenchTimes&)>>& Summaries() {
  static std::vector<std::function<void(const BenchTimes&)>> summaries;
  return summaries;
}

class BestTimeReporter : public benchmark::ConsoleReporter {
 public:
  BenchTimes times;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // Repeated benchmarks show only their aggregates; of those, "min" is the best run.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "min") continue;
      // Processor time: on a shared machine wall time mostly measures the neighbours.
      const double ns =
          run.GetAdjustedCPUTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const std::string name = run.run_name.function_name;
      const auto known = times.find(name);
      times[name] = known == times.end() ? ns : std::min(known->second, ns);
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

bool AddBenchSummary(std::function<void(const BenchTimes&)> summary) {
  Summaries().push_back(std::move(summary));
  return true;
}

double BenchTime(const BenchTimes& times, const std::string& name) {
  const auto it = times.find(name);
  return it == times.end() ? 0 : it->second;
}

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  BestTimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const auto& summary : Summaries()) summary(reporter.times);
  benchmark::Shutdown();
  return 0;
}
