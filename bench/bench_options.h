// corvane-bench's command line.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "parser.h"

namespace corvane::bench {

// Blocks in the firmware file: its eight header blocks and at least one image block, at most
// what ImageBuffer holds (10,240,000 bytes).
inline constexpr std::uint32_t kMinBlocks = 9;
inline constexpr std::uint32_t kMaxBlocks = 160'000;
// Round trips of the bare loop: as many as the transfer has blocks, at most this many.
inline constexpr std::uint32_t kMaxFloorRounds = 20'000;

struct BenchOptions {
  std::uint32_t blocks = kMaxBlocks;
};

// `args` are the arguments after the program name.
command_line::Parsed<BenchOptions> ParseBenchOptions(const std::vector<std::string>& args);

}  // namespace corvane::bench
