// The command line of corvane-flash. Parsing is pure: nothing is opened or printed here.
#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace corvane::cli {

enum class Command { kIdentify, kFirmware, kDataMap };

struct CliOptions {
  Command command = Command::kIdentify;
  std::string file;                // FILE of firmware and data-map
  std::vector<std::string> ports;  // --port PATH, in the order given; empty: the system's ports
  std::chrono::milliseconds scanTimeout{10000};
  bool yes = false;  // answer Yes to the two firmware questions
};

enum class CliAction { kRun, kHelp, kVersion, kUsageError };

struct ParsedCli {
  CliAction action = CliAction::kRun;
  CliOptions options;
  std::string error;  // for kUsageError: what was wrong
};

// The longest scan timeout accepted, in seconds.
inline constexpr long kMaxScanTimeoutSeconds = 86400;

// `args` are the arguments after the program name. Options may come before or after the
// command, as `--name value` or `--name=value`; `--` ends the options.
ParsedCli ParseCliOptions(const std::vector<std::string>& args);

// Seconds with an optional decimal fraction ("10", "0.5", "2.25") to whole milliseconds, a
// fraction of a millisecond rounding up. False for anything else, for 0 and above the maximum.
bool ParseSeconds(const std::string& text, std::chrono::milliseconds& out);

std::string CliUsage();
std::string CliVersion();

}  // namespace corvane::cli
