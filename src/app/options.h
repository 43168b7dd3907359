// The command line of corvane-programmer. Nothing here changes the protocol: the options only
// choose which ports the scan tries and whether the simulated controller is started.
#pragma once
#include <string>
#include <vector>

namespace corvane::app {

struct Options {
  std::vector<std::string> ports;  // --port PATH, in the order given; empty: the system's ports
  bool demo = false;               // --demo
};

enum class OptionsAction { kRun, kHelp, kVersion, kUsageError };

struct ParsedOptions {
  OptionsAction action = OptionsAction::kRun;
  Options options;
  std::string error;  // for kUsageError: what was wrong
};

inline constexpr int kUsageExitCode = 64;  // EX_USAGE

// `args` are the arguments after the program name, after the toolkit has taken its own.
ParsedOptions ParseOptions(const std::vector<std::string>& args);

// The usage text for --help and after a usage error; `program` is the executable's name.
std::string UsageText(const std::string& program);

// "Corvane Programmer 1.28"
std::string VersionText();

}  // namespace corvane::app
