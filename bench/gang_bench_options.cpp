#include "gang_bench_options.h"

#include "option_values.h"

namespace corvane::bench {
namespace {

std::string Usage() {
  return "Usage: corvane-gang-bench [--devices N[,N]...] [--blocks N] [--baud B]\n"
         "\n"
         "Runs corvane-flash --gang against N simulated controllers (corvane-devsim, one process\n"
         "each), all sent the same firmware file, once for every N, and prints per run the wall\n"
         "time next to the line's own limit for the file, the host's CPU time per device-second\n"
         "and its peak memory.\n"
         "\n"
         "  --devices N,...  controllers per run, 1.." +
         std::to_string(kMaxGangDevices) +
         " (default 1,4,16)\n"
         "  --blocks N       blocks in the firmware file, header included (" +
         std::to_string(kMinBlocks) + ".." + std::to_string(kMaxBlocks) + "; default " + std::to_string(kMaxBlocks) +
         ", a 10,240,000-byte file)\n"
         "  --baud B         bits per second of the simulated lines (corvane-devsim --baud); 0: the\n"
         "                   controllers answer at once (default 0)\n"
         "  -h, --help       show this text\n"
         "  -V, --version    show the version\n"
         "\n"
         "Exit status: 0 when every controller of every run received the file intact, 1 otherwise,\n"
         "64 for a usage error.\n";
}

}  // namespace

command_line::Parsed<GangBenchOptions> ParseGangBenchOptions(const std::vector<std::string>& args) {
  command_line::Parsed<GangBenchOptions> parsed;
  GangBenchOptions& options = parsed.options;
  command_line::Parser parser("corvane-gang-bench", Usage(), command_line::VersionLine("corvane-gang-bench"));
  CLI::App& app = parser.app();
  app.add_option("--devices", options.devices)
      ->delimiter(',')
      ->transform(command_line::Number(1, kMaxGangDevices))
      ->type_name("N,...");
  command_line::AddNumber(app, "--blocks", options.blocks, kMinBlocks, kMaxBlocks);
  command_line::AddNumber(app, "--baud", options.baud, 0, 4'000'000);
  parsed.outcome = parser.Parse(args);
  return parsed;
}

}  // namespace corvane::bench
