#include "cli_options.h"

#include "option_values.h"

namespace corvane::cli {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  corvane-flash [--port PATH]... [--scan-timeout SEC] identify\n"
    "  corvane-flash [--port PATH]... [--scan-timeout SEC] [--idle-timeout SEC] [--yes] firmware FILE.sbin\n"
    "  corvane-flash [--port PATH]... [--scan-timeout SEC] [--idle-timeout SEC] data-map FILE.lbin\n"
    "  corvane-flash --gang [--port PATH]... [--scan-timeout SEC] [--idle-timeout SEC] [--yes]\n"
    "                identify | firmware FILE.sbin | data-map FILE.lbin\n"
    "  corvane-flash [--port PATH]... ports\n"
    "  corvane-flash --help | --version\n"
    "  The runs also take [--json] [--log FILE] [--station NAME]; any command takes [--trace].\n"
    "\n"
    "Finds the controller on the serial ports, prints its identification report, and for\n"
    "firmware and data-map sends it the file and prints its verdict. With --gang, every port\n"
    "given (or every system port on which a controller answers within the scan timeout) gets its\n"
    "own run, all at once, and a summary at the end. ports lists the serial ports in scan order\n"
    "(or the ports given) with their state, without opening them.\n"
    "\n"
    "Options (before or after the command; '--' ends them):\n"
    "  --port PATH         scan exactly this port; repeat for more, tried in the order given\n"
    "                      (default: the system's serial ports)\n"
    "  --scan-timeout SEC  give up when no device has been found after SEC seconds; decimals\n"
    "                      allowed (default 10)\n"
    "  --idle-timeout SEC  once the device is found, give up when nothing at all has come from it\n"
    "                      for SEC seconds (exit status 3); decimals allowed (default 30)\n"
    "  --yes               write firmware that is older than or the same as the device's\n"
    "                      (without it the question is answered No)\n"
    "  --gang              update the controllers on all ports at once, one run per port\n"
    "  --json              events as JSON Lines on standard output; the texts go to standard error\n"
    "  --log FILE          append one JSON line per device and run to FILE\n"
    "  --station NAME      the station named in the records and events (default: the host name)\n"
    "  --trace             trace ports opened, frames as hex, resends, timers and scan steps\n"
    "                      on standard error\n"
    "  -h, --help          show this text\n"
    "  -V, --version       show the version\n"
    "\n"
    "Exit status:\n"
    "  0   success (identify: a supported device was reported)\n"
    "  1   the device reported a failed update, or its identification record failed\n"
    "      its check\n"
    "  2   the file was refused, or a question was answered No\n"
    "  3   the link was dropped (the device stopped answering, or sent nothing for\n"
    "      --idle-timeout seconds)\n"
    "  4   no device answered within the scan timeout\n"
    "  5   the device type is not supported\n"
    "  64  usage error\n"
    "  73  the --log file cannot be opened, or a record could not be written\n"
    "  130 interrupted (SIGINT, SIGTERM, SIGHUP); the port is closed\n"
    "With --gang: the highest status of the devices that answered (0 when every one succeeded);\n"
    "4 only when none answered.\n";

}  // namespace

command_line::Parsed<CliOptions> ParseCliOptions(const std::vector<std::string>& args) {
  command_line::Parsed<CliOptions> parsed;
  CliOptions& options = parsed.options;
  command_line::Parser parser("corvane-flash", kUsage, command_line::VersionLine("corvane-flash"));
  CLI::App& app = parser.app();
  command_line::AddPaths(app, "--port", options.ports);
  command_line::AddSeconds(app, "--scan-timeout", options.scanTimeout, kMaxScanTimeoutSeconds);
  command_line::AddSeconds(app, "--idle-timeout", options.idleTimeout, kMaxScanTimeoutSeconds);
  app.add_flag("--yes", options.yes);
  app.add_flag("--gang", options.gang);
  app.add_flag("--json", options.json);
  command_line::AddPath(app, "--log", options.log);
  app.add_option("--station", options.station)->type_name("NAME");
  app.add_flag("--trace", options.trace);

  app.fallthrough();  // the commands pass the options above on, so they may follow the command
  app.require_subcommand(0, 1);
  const CLI::App* identify = app.add_subcommand("identify");
  CLI::App* firmware = app.add_subcommand("firmware");
  CLI::App* dataMap = app.add_subcommand("data-map");
  const CLI::App* ports = app.add_subcommand("ports");
  command_line::AddPath(*firmware, "FILE", options.file)->required();
  command_line::AddPath(*dataMap, "FILE", options.file)->required();
  app.callback([&] {
    if (firmware->parsed()) {
      options.command = Command::kFirmware;
    } else if (dataMap->parsed()) {
      options.command = Command::kDataMap;
    } else if (ports->parsed()) {
      options.command = Command::kPorts;
      if (options.gang || options.json || !options.log.empty() || !options.station.empty())
        throw CLI::ValidationError("--gang, --json, --log and --station do not apply to ports");
    } else if (!identify->parsed()) {
      throw CLI::ValidationError("missing command (identify, firmware, data-map or ports)");
    }
    if (options.yes && options.command != Command::kFirmware)
      throw CLI::ValidationError("--yes applies to firmware only");
  });
  parsed.outcome = parser.Parse(args);
  return parsed;
}

std::string CliUsage() { return kUsage; }

}  // namespace corvane::cli
