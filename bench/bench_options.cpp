#include "bench_options.h"

#include "option_values.h"

namespace corvane::bench {
namespace {

std::string Usage() {
  return "Usage: corvane-bench [--blocks N]\n"
         "\n"
         "Runs a firmware update against an instant simulated controller on a pseudo-terminal,\n"
         "through the window's serial link and session, and prints the host's turnaround per\n"
         "block, the round trip, blocks per second and the host's share of the line time,\n"
         "next to a bare loop on a pseudo-terminal measured in the same run.\n"
         "\n"
         "  --blocks N     blocks in the firmware file, header included (" +
         std::to_string(kMinBlocks) + ".." + std::to_string(kMaxBlocks) + "; default " + std::to_string(kMaxBlocks) +
         ", a 10,240,000-byte file)\n"
         "  -h, --help     show this text\n"
         "  -V, --version  show the version\n"
         "\n"
         "Exit status: 0 when the device received the file intact, 1 when the run failed, 64 for a\n"
         "usage error.\n";
}

}  // namespace

command_line::Parsed<BenchOptions> ParseBenchOptions(const std::vector<std::string>& args) {
  command_line::Parsed<BenchOptions> parsed;
  command_line::Parser parser("corvane-bench", Usage(), command_line::VersionLine("corvane-bench"));
  command_line::AddNumber(parser.app(), "--blocks", parsed.options.blocks, kMinBlocks, kMaxBlocks);
  parsed.outcome = parser.Parse(args);
  return parsed;
}

}  // namespace corvane::bench
