// corvane-gang-bench's command line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "bench_options.h"
#include "parser.h"

namespace corvane::bench {

inline constexpr std::uint32_t kMaxGangDevices = 64;

struct GangBenchOptions {
  std::vector<std::uint32_t> devices{1, 4, 16};  // one gang run for each count
  std::uint32_t blocks = kMaxBlocks;             // blocks in the firmware file, header included
  std::uint32_t baud = 0;                        // the simulated line; 0: the controllers answer at once
};

command_line::Parsed<GangBenchOptions> ParseGangBenchOptions(const std::vector<std::string>& args);

}  // namespace corvane::bench
