#include "cli_options.h"

#include <optional>

namespace corvane::cli {
namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  corvane-flash [--port PATH]... [--scan-timeout SEC] identify\n"
    "  corvane-flash [--port PATH]... [--scan-timeout SEC] [--yes] firmware FILE.sbin\n"
    "  corvane-flash [--port PATH]... [--scan-timeout SEC] data-map FILE.lbin\n"
    "  corvane-flash --help | --version\n"
    "\n"
    "Finds the controller on the serial ports, prints its identification report, and for\n"
    "firmware and data-map sends it the file and prints its verdict.\n"
    "\n"
    "Options:\n"
    "  --port PATH         scan exactly this port; repeat for more, tried in the order given\n"
    "                      (default: the system's serial ports)\n"
    "  --scan-timeout SEC  give up when no device has been found after SEC seconds; decimals\n"
    "                      allowed (default 10)\n"
    "  --yes               write firmware that is older than or the same as the device's\n"
    "                      (without it the question is answered No)\n"
    "  --help              show this text\n"
    "  --version           show the version\n"
    "\n"
    "Exit status:\n"
    "  0   success (identify: a supported device was reported)\n"
    "  1   the device reported a failed update\n"
    "  2   the file was refused, or a question was answered No\n"
    "  3   the link was dropped (the device stopped answering)\n"
    "  4   no device answered within the scan timeout\n"
    "  5   the device type is not supported\n"
    "  64  usage error\n"
    "  130 interrupted (SIGINT, SIGTERM, SIGHUP); the port is closed\n";

// An option's name and, when written as --name=value, its value.
struct Split {
  std::string name;
  std::optional<std::string> value;
};

Split SplitOption(const std::string& arg) {
  const auto equals = arg.find('=');
  if (equals == std::string::npos) return {arg, std::nullopt};
  return {arg.substr(0, equals), arg.substr(equals + 1)};
}

}  // namespace

bool ParseSeconds(const std::string& text, std::chrono::milliseconds& out) {
  const auto dot = text.find('.');
  const std::string whole = text.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return false;
  long seconds = 0;
  for (const char c : whole) {
    if (c < '0' || c > '9') return false;
    seconds = seconds * 10 + (c - '0');
    if (seconds > kMaxScanTimeoutSeconds) return false;
  }
  long ms = 0;
  bool remainder = false;  // digits past the millisecond that are not all zero
  for (std::size_t i = 0; i < fraction.size(); ++i) {
    const char c = fraction[i];
    if (c < '0' || c > '9') return false;
    if (i < 3) {
      ms = ms * 10 + (c - '0');
    } else if (c != '0') {
      remainder = true;
    }
  }
  for (std::size_t i = fraction.size(); i < 3; ++i) ms *= 10;
  const long total = seconds * 1000 + ms + (remainder ? 1 : 0);
  if (total <= 0 || total > kMaxScanTimeoutSeconds * 1000) return false;
  out = std::chrono::milliseconds(total);
  return true;
}

ParsedCli ParseCliOptions(const std::vector<std::string>& args) {
  ParsedCli parsed;
  CliOptions& options = parsed.options;
  bool help = false;
  bool version = false;
  std::string error;  // the first problem found
  const auto fail = [&error](std::string message) {
    if (error.empty()) error = std::move(message);
  };

  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const Split option = SplitOption(arg);
    const auto takeValue = [&]() -> std::optional<std::string> {
      if (option.value) return option.value;
      if (i + 1 < args.size()) return args[++i];
      fail(option.name + " needs a value");
      return std::nullopt;
    };

    if (option.name == "--help" || option.name == "--version" || option.name == "--yes") {
      if (option.value) {
        fail(option.name + " takes no value");
      } else if (option.name == "--help") {
        help = true;
      } else if (option.name == "--version") {
        version = true;
      } else {
        options.yes = true;
      }
    } else if (option.name == "--port") {
      if (const auto value = takeValue()) {
        if (value->empty()) {
          fail("--port needs a path");
        } else {
          options.ports.push_back(*value);
        }
      }
    } else if (option.name == "--scan-timeout") {
      if (const auto value = takeValue()) {
        if (!ParseSeconds(*value, options.scanTimeout)) {
          fail("--scan-timeout takes seconds above 0 and up to " + std::to_string(kMaxScanTimeoutSeconds) + ", not '" +
               *value + "'");
        }
      }
    } else {
      fail("unknown option " + option.name);
    }
  }

  if (help) {
    parsed.action = CliAction::kHelp;
    return parsed;
  }
  if (version) {
    parsed.action = CliAction::kVersion;
    return parsed;
  }

  if (positional.empty()) {
    fail("no command given");
  } else {
    const std::string& command = positional.front();
    const std::size_t operands = positional.size() - 1;
    if (command == "identify") {
      options.command = Command::kIdentify;
      if (operands != 0) fail("identify takes no file");
    } else if (command == "firmware" || command == "data-map") {
      options.command = command == "firmware" ? Command::kFirmware : Command::kDataMap;
      if (operands != 1 || positional[1].empty()) {
        fail(command + " takes exactly one file");
      } else {
        options.file = positional[1];
      }
    } else {
      fail("unknown command '" + command + "'");
    }
  }
  if (options.yes && options.command != Command::kFirmware) fail("--yes applies to firmware only");

  if (!error.empty()) {
    parsed.action = CliAction::kUsageError;
    parsed.error = error;
  }
  return parsed;
}

std::string CliUsage() { return kUsage; }

std::string CliVersion() { return std::string("corvane-flash ") + CORVANE_VERSION; }

}  // namespace corvane::cli
