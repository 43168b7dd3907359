#include "bench_options.h"

#include <charconv>

namespace corvane::bench {

namespace {

bool ParseBlocks(const std::string& text, std::uint32_t& blocks) {
  std::uint32_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < kMinBlocks || value > kMaxBlocks) return false;
  blocks = value;
  return true;
}

ParsedBench UsageError(std::string error) {
  ParsedBench parsed;
  parsed.action = BenchAction::kUsageError;
  parsed.error = std::move(error);
  return parsed;
}

}  // namespace

ParsedBench ParseBenchOptions(const std::vector<std::string>& args) {
  ParsedBench parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      parsed.action = BenchAction::kHelp;
      return parsed;
    }
    std::string value;
    if (arg == "--blocks") {
      if (i + 1 == args.size()) return UsageError("--blocks needs a number");
      value = args[++i];
    } else if (arg.starts_with("--blocks=")) {
      value = arg.substr(9);
    } else {
      return UsageError("unknown argument '" + arg + "'");
    }
    if (!ParseBlocks(value, parsed.options.blocks))
      return UsageError("--blocks takes a whole number from " + std::to_string(kMinBlocks) + " to " +
                        std::to_string(kMaxBlocks) + ", not '" + value + "'");
  }
  return parsed;
}

std::string BenchUsage() {
  return "usage: corvane-bench [--blocks N]\n"
         "\n"
         "Runs a firmware update against an instant simulated controller on a pseudo-terminal,\n"
         "through the window's serial link and session, and prints the host's turnaround per\n"
         "block, the round trip, blocks per second and the host's share of the line time,\n"
         "next to a bare loop on a pseudo-terminal measured in the same run.\n"
         "\n"
         "  --blocks N   blocks in the firmware file, header included (" +
         std::to_string(kMinBlocks) + ".." + std::to_string(kMaxBlocks) + "; default " + std::to_string(kMaxBlocks) +
         ", a 10,240,000-byte file)\n"
         "  --help       this text\n";
}

}  // namespace corvane::bench
