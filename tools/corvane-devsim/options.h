// Command-line knobs of corvane-devsim.
#pragma once
#include <string>
#include <vector>

#include "parser.h"
#include "sim_config.h"

namespace corvane {

struct DevsimOptions {
  SimConfig config;
};

// Parses the arguments after the program name.
command_line::Parsed<DevsimOptions> ParseDevsimOptions(const std::vector<std::string>& args);

}  // namespace corvane
