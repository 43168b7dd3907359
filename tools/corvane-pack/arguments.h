// The command line of corvane-pack.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "parser.h"

namespace corvane::pack {

enum class PackKind { kFirmware, kDataMap };

struct PackArguments {
  PackKind kind = PackKind::kFirmware;
  std::uint16_t deviceType = 0;
  std::uint16_t version = 0;  // firmware version or data version
  std::uint32_t closingValue = 0;
  std::string input;
  std::string output;
};

// `args` are the arguments after the program name.
command_line::Parsed<PackArguments> ParseArguments(const std::vector<std::string>& args);

}  // namespace corvane::pack
