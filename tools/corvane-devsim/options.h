// Command-line knobs of corvane-devsim.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "parser.h"
#include "sim_config.h"

namespace corvane {

// The most controllers one run starts.
inline constexpr std::uint32_t kMaxDevices = 64;

struct DevsimOptions {
  SimConfig config;         // the same for every controller
  std::uint32_t count = 1;  // controllers, each on a pseudo-terminal of its own
};

// Parses the arguments after the program name.
command_line::Parsed<DevsimOptions> ParseDevsimOptions(const std::vector<std::string>& args);

}  // namespace corvane
