#include "arguments.h"

#include <optional>
#include <vector>

namespace corvane::pack {

const char* const kUsage =
    "Usage:\n"
    "  corvane-pack firmware --type N --version V --closing C INPUT OUTPUT.sbin\n"
    "  corvane-pack data-map --type N --data-version V --closing C INPUT OUTPUT.lbin\n"
    "  corvane-pack --help\n"
    "\n"
    "Packs a raw firmware image or data map into an update file for Corvane Programmer:\n"
    "scrambled header blocks carrying the device type, the version and the closing value,\n"
    "then the raw input unchanged, padded with zeros to whole 64-byte blocks.\n"
    "\n"
    "Numbers are decimal or 0x-prefixed hexadecimal. N and V: 0..65535; C: 0..4294967295.\n"
    "Options may also be written as --name=value; '--' ends the options.\n"
    "The output is at most 10240000 bytes. It is written to a temporary file in the output's\n"
    "folder and renamed into place, so a failed run leaves no partial file.\n"
    "\n"
    "Exit status: 0 on success, 64 for a usage error, 1 when a file cannot be read or written\n"
    "or the input is too large.\n";

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct Option {
  const char* name;
  std::uint64_t max;
  std::optional<std::uint64_t> value;
};

ParseResult Fail(std::string message) {
  ParseResult result;
  result.status = ParseResult::Status::kUsageError;
  result.error = std::move(message);
  return result;
}

}  // namespace

bool ParseNumber(std::string_view text, std::uint64_t max, std::uint64_t& value) {
  unsigned base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  std::uint64_t v = 0;
  for (const char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0 || static_cast<unsigned>(digit) >= base) return false;
    v = v * base + static_cast<unsigned>(digit);
    if (v > max) return false;  // also keeps v far from overflowing
  }
  value = v;
  return true;
}

ParseResult ParseArguments(int argc, const char* const* argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  for (const auto arg : args) {
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      ParseResult result;
      result.status = ParseResult::Status::kHelp;
      return result;
    }
  }
  if (args.empty()) return Fail("missing command (firmware or data-map)");

  PackArguments out;
  if (args[0] == "firmware") {
    out.kind = PackKind::kFirmware;
  } else if (args[0] == "data-map") {
    out.kind = PackKind::kDataMap;
  } else {
    return Fail("unknown command '" + std::string(args[0]) + "' (expected firmware or data-map)");
  }

  Option options[] = {
      {"type", 0xFFFF, std::nullopt},
      {out.kind == PackKind::kFirmware ? "version" : "data-version", 0xFFFF, std::nullopt},
      {"closing", 0xFFFFFFFF, std::nullopt},
  };
  std::vector<std::string_view> positional;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.substr(0, 2) != "--") {
      if (!optionsEnded && arg.size() > 1 && arg[0] == '-') return Fail("unknown option '" + std::string(arg) + "'");
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string_view name = arg.substr(2);
    std::optional<std::string_view> text;
    if (const auto eq = name.find('='); eq != std::string_view::npos) {
      text = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    Option* option = nullptr;
    for (auto& o : options)
      if (name == o.name) option = &o;
    if (option == nullptr) return Fail("unknown option '--" + std::string(name) + "'");
    if (option->value) return Fail("option '--" + std::string(name) + "' given twice");
    if (!text) {
      if (i + 1 >= args.size()) return Fail("option '--" + std::string(name) + "' needs a value");
      text = args[++i];
    }
    std::uint64_t value = 0;
    if (!ParseNumber(*text, option->max, value))
      return Fail("bad value '" + std::string(*text) + "' for '--" + std::string(name) + "' (a number 0.." +
                  std::to_string(option->max) + ", decimal or 0x-hex)");
    option->value = value;
  }
  for (const auto& o : options)
    if (!o.value) return Fail("missing option '--" + std::string(o.name) + "'");
  if (positional.size() != 2)
    return Fail("expected INPUT and OUTPUT, got " + std::to_string(positional.size()) + " file argument(s)");

  out.deviceType = static_cast<std::uint16_t>(*options[0].value);
  out.version = static_cast<std::uint16_t>(*options[1].value);
  out.closingValue = static_cast<std::uint32_t>(*options[2].value);
  out.input = positional[0];
  out.output = positional[1];
  ParseResult result;
  result.status = ParseResult::Status::kRun;
  result.arguments = std::move(out);
  return result;
}

}  // namespace corvane::pack
