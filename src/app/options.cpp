#include "options.h"

#include "option_values.h"
#include "texts.h"

namespace corvane::app {

command_line::Parsed<Options> ParseOptions(const std::vector<std::string>& args, const std::string& program) {
  command_line::Parsed<Options> parsed;
  command_line::Parser parser(program, UsageText(program), VersionText());
  CLI::App& app = parser.app();
  CLI::Option* port = command_line::AddPaths(app, "--port", parsed.options.ports);
  app.add_flag("--demo", parsed.options.demo)->excludes(port);
  app.add_flag("--trace", parsed.options.trace);
  parsed.outcome = parser.Parse(args);
  return parsed;
}

std::string UsageText(const std::string& program) {
  return "Usage: " + program +
         " [--port PATH]... [--demo] [--trace]\n"
         "Firmware updater for Corvane LED controllers on a serial line.\n"
         "\n"
         "  --port PATH    try only this serial port when scanning (repeatable; tried in the order\n"
         "                 given). A bare name such as ttyUSB0 means /dev/ttyUSB0.\n"
         "                 Without it the scan tries the system's serial ports.\n"
         "  --demo         start a simulated controller on a pseudo-terminal, scan only that port and\n"
         "                 offer sample firmware and data map files in the file dialog\n"
         "  --trace        write what the serial link does to standard error: ports opened and\n"
         "                 closed with the cause of a failure, every frame in and out as hex,\n"
         "                 resends, timers (also QT_LOGGING_RULES=\"corvane.*.debug=true\")\n"
         "  -h, --help     show this text and exit\n"
         "  -V, --version  show the program's name and version and exit\n"
         "\n"
         "Exit status: 0 when the window is closed or the program is told to end (SIGINT, SIGTERM),\n"
         "1 when it cannot start, 64 for a usage error.\n";
}

std::string VersionText() { return texts::kCaption; }

}  // namespace corvane::app
