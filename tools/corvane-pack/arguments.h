// The command line of corvane-pack.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

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

struct ParseResult {
  enum class Status { kRun, kHelp, kUsageError } status = Status::kUsageError;
  PackArguments arguments;
  std::string error;  // for kUsageError
};

ParseResult ParseArguments(int argc, const char* const* argv);

// A decimal or 0x-prefixed hexadecimal number no greater than `max`, with nothing around it.
bool ParseNumber(std::string_view text, std::uint64_t max, std::uint64_t& value);

extern const char* const kUsage;

}  // namespace corvane::pack
