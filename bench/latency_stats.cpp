#include "latency_stats.h"

#include <algorithm>

namespace corvane::bench {

namespace {

double Micro(std::int64_t ns) { return static_cast<double>(ns) / 1000.0; }

// 1-based nearest rank of percentile `p` among `n` sorted samples: ceil(n * p / 100), at least 1.
std::size_t Rank(std::size_t n, std::size_t p) { return std::max<std::size_t>(1, (n * p + 99) / 100); }

}  // namespace

LatencySummary Summarize(std::vector<std::int64_t> nanoseconds) {
  LatencySummary summary;
  summary.count = nanoseconds.size();
  if (nanoseconds.empty()) return summary;
  std::sort(nanoseconds.begin(), nanoseconds.end());
  const std::size_t n = nanoseconds.size();
  summary.medianUs = Micro(nanoseconds[Rank(n, 50) - 1]);
  summary.p99Us = Micro(nanoseconds[Rank(n, 99) - 1]);
  summary.maxUs = Micro(nanoseconds.back());
  return summary;
}

}  // namespace corvane::bench
