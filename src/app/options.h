// The command line of corvane-programmer. Nothing here changes the protocol: the options only
// choose which ports the scan tries and whether the simulated controller is started.
#pragma once
#include <string>
#include <vector>

#include "parser.h"

namespace corvane::app {

struct Options {
  std::vector<std::string> ports;  // --port PATH, in the order given; empty: the system's ports
  bool demo = false;               // --demo
  bool trace = false;              // --trace: the link's trace on standard error
};

// `args` are the arguments after the program name, after the toolkit has taken its own;
// `program` is the executable's name, for the help text and messages.
command_line::Parsed<Options> ParseOptions(const std::vector<std::string>& args, const std::string& program);

// The text of --help.
std::string UsageText(const std::string& program);

// "Corvane Programmer 1.28"
std::string VersionText();

}  // namespace corvane::app
