#include "options.h"

#include "texts.h"

namespace corvane::app {

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  auto fail = [&parsed](std::string message) {
    parsed.action = OptionsAction::kUsageError;
    parsed.error = std::move(message);
    return parsed;
  };
  bool help = false, version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--port") {
      if (i + 1 >= args.size() || args[i + 1].empty()) return fail("option --port needs a port path");
      parsed.options.ports.push_back(args[++i]);
    } else if (arg.rfind("--port=", 0) == 0) {
      if (arg.size() == 7) return fail("option --port needs a port path");
      parsed.options.ports.push_back(arg.substr(7));
    } else if (arg == "--demo") {
      parsed.options.demo = true;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else {
      return fail("unknown option '" + arg + "'");
    }
  }
  if (parsed.options.demo && !parsed.options.ports.empty())
    return fail("--demo scans only its own simulated port and takes no --port");
  if (help)
    parsed.action = OptionsAction::kHelp;
  else if (version)
    parsed.action = OptionsAction::kVersion;
  return parsed;
}

std::string UsageText(const std::string& program) {
  return "Usage: " + program +
         " [--port PATH]... [--demo]\n"
         "Firmware updater for Corvane LED controllers on a serial line.\n"
         "\n"
         "  --port PATH  try only this serial port when scanning (repeatable; tried in the order\n"
         "               given). A bare name such as ttyUSB0 means /dev/ttyUSB0.\n"
         "               Without it the scan tries the system's serial ports.\n"
         "  --demo       start a simulated controller on a pseudo-terminal, scan only that port and\n"
         "               offer sample firmware and data map files in the file dialog\n"
         "  --help       show this text and exit\n"
         "  --version    show the program's name and version and exit\n";
}

std::string VersionText() { return texts::kCaption; }

}  // namespace corvane::app
