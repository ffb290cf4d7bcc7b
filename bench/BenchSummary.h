// Benchmarks report ratios between times measured in the same run. Each file registers a
// summary; the shared main (BenchMain.cpp) prints them after the last benchmark.
#pragma once

#include <functional>
#include <map>
#include <string>

// Lowest processor time per iteration, in nanoseconds, by benchmark name (repetitions folded).
using BenchTimes = std::map<std::string, double>;

// Returns true so that a registration can initialise a namespace-scope constant.
bool AddBenchSummary(std::function<void(const BenchTimes&)> summary);

// The time of `name`, or 0 when it did not run (filtered out, or a peer library missing).
double BenchTime(const BenchTimes& times, const std::string& name);
