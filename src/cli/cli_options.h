// The command line of corvane-flash. Parsing is pure: nothing is opened or printed here.
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "parser.h"

namespace corvane::cli {

enum class Command { kIdentify, kFirmware, kDataMap, kPorts };

struct CliOptions {
  Command command = Command::kIdentify;
  std::string file;                // FILE of firmware and data-map
  std::vector<std::string> ports;  // --port PATH, in the order given; empty: the system's ports
  std::chrono::milliseconds scanTimeout{10000};
  // After the device was found: the longest time without any frame from it before the run ends
  // (a device that answers with interval 0 would otherwise be waited for forever).
  std::chrono::milliseconds idleTimeout{30000};
  bool yes = false;  // answer Yes to the two firmware questions
  bool gang = false;  // one session per port, all at once
  bool json = false;  // JSON Lines events on standard output, the human texts on standard error
  std::string log;    // --log FILE: a record appended per device and run; empty: none
  std::string station;  // --station NAME: who ran it, in records and events; empty: the host name
  bool trace = false; // the link's trace (ports, frames, resends, timers, scan steps) on standard error
};

// The longest scan or idle timeout accepted, in seconds.
inline constexpr long kMaxScanTimeoutSeconds = 86400;

// `args` are the arguments after the program name. Options may come before or after the
// command, as `--name value` or `--name=value`; `--` ends the options.
command_line::Parsed<CliOptions> ParseCliOptions(const std::vector<std::string>& args);

std::string CliUsage();

}  // namespace corvane::cli
