// Order statistics of a set of measured durations.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane::bench {

struct LatencySummary {
  std::size_t count = 0;
  double medianUs = 0;
  double p99Us = 0;
  double maxUs = 0;
};

// Nearest-rank percentiles (the smallest sample with at least p % of the samples at or below it)
// of durations in nanoseconds, reported in microseconds. All zero for no samples.
LatencySummary Summarize(std::vector<std::int64_t> nanoseconds);

}  // namespace corvane::bench
