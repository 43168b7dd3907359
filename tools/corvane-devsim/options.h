// Command-line knobs of corvane-devsim.
#pragma once
#include <optional>
#include <string>

#include "sim_config.h"

namespace corvane {

struct DevsimOptions {
  SimConfig config;
  bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns nothing and puts the
// reason into `error`.
std::optional<DevsimOptions> ParseDevsimOptions(int argc, const char* const* argv, std::string& error);

const char* DevsimUsage();

}  // namespace corvane
