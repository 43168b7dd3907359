#include "options.h"

#include <cstdint>
#include <functional>
#include <map>

namespace corvane {
namespace {

const char kUsage[] =
    "Usage: corvane-devsim [options]\n"
    "A simulated controller on a pseudo-terminal. Prints the path to open as a serial port on\n"
    "the first line, answers until SIGINT or SIGTERM, and prints one line per finished transfer.\n"
    "Numbers are decimal or 0x-hexadecimal.\n"
    "\n"
    "Identification:\n"
    "  --type N                   type word, mark bit 0x8000 included (default 0x0001)\n"
    "  --bootloader N             bootloader version, 0..255 (default 2)\n"
    "  --firmware N               installed firmware version, 0..65535 (default 10)\n"
    "  --data-version N           data memory version, 0..65535 (default 1)\n"
    "  --program-check N          program memory check byte, 1 = intact (default 1)\n"
    "  --data-check N             data memory check byte, 1 = intact (default 1)\n"
    "  --record-tail HEX          record bytes 9..31, up to 23 bytes as hex digits (default zeros)\n"
    "Transfer:\n"
    "  --interval MS              interval sent in every block request, 0..65535 (default 1000)\n"
    "  --timeout-update-after K:MS[:HOLD]\n"
    "                             after block K (0-based) send a timeout update of MS, then hold\n"
    "                             the block request back HOLD ms (default 0)\n"
    "  --verdict ok|fail|N        result byte: ok = 1, fail = 0, or N (default ok)\n"
    "  --blocks N                 expect N blocks: the unit after them is the end frame whatever it\n"
    "                             holds (default: an end frame is recognised by type and CRC)\n"
    "  --reply-length N           length of short frames, 16..64 in steps of 4 (default 16)\n"
    "  --strict-resends           take every unit equal to the one before as a resend (default:\n"
    "                             only when the answer to it did not reach the host intact)\n"
    "  --seed N                   seed of the random bytes in replies\n"
    "Faults:\n"
    "  --silent                   answer nothing\n"
    "  --bad-frame-crc            send every frame with a wrong frame CRC\n"
    "  --bad-record-crc           send the identification record with a wrong CRC\n"
    "  --split                    send every reply in two writes, 30 ms apart\n"
    "  --double                   send two frames in one write\n"
    "  --garbage                  send random bytes instead of each frame\n"
    "  --answer-after N           leave the first N identify requests unanswered\n"
    "  --vanish-after-blocks N    close the line once N blocks have arrived (0: at the first bytes)\n"
    "  --silent-after-blocks N    stop answering once N blocks have arrived\n"
    "  --help                     show this text\n";

// Decimal, or hexadecimal after 0x; no sign, at most `max`.
bool ParseNumber(const std::string& text, std::uint64_t max, std::uint64_t& value) {
  std::size_t pos = 0;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    pos = 2;
  }
  if (pos >= text.size()) return false;
  value = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > max) return false;
  }
  return true;
}

template <typename T>
bool Number(const std::string& text, std::uint64_t max, T& out) {
  std::uint64_t value;
  if (!ParseNumber(text, max, value)) return false;
  out = static_cast<T>(value);
  return true;
}

bool RecordTail(const std::string& text, std::array<std::uint8_t, 23>& tail) {
  if (text.size() % 2 != 0 || text.size() > 2 * tail.size()) return false;
  tail.fill(0);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    std::uint64_t byte;
    if (!ParseNumber("0x" + text.substr(i, 2), 0xFF, byte)) return false;
    tail[i / 2] = static_cast<std::uint8_t>(byte);
  }
  return true;
}

bool TimeoutUpdate(const std::string& text, std::optional<TimeoutUpdatePlan>& plan) {
  const std::size_t first = text.find(':');
  if (first == std::string::npos) return false;
  const std::size_t second = text.find(':', first + 1);
  TimeoutUpdatePlan p;
  if (!Number(text.substr(0, first), 0xFFFFFFFF, p.afterBlock)) return false;
  const std::string interval = text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  if (!Number(interval, 0xFFFF, p.intervalMs)) return false;
  if (second != std::string::npos && !Number(text.substr(second + 1), 0xFFFF, p.holdMs)) return false;
  plan = p;
  return true;
}

bool Verdict(const std::string& text, std::uint8_t& verdict) {
  if (text == "ok") {
    verdict = 1;
    return true;
  }
  if (text == "fail") {
    verdict = 0;
    return true;
  }
  return Number(text, 0xFF, verdict);
}

bool ReplyLength(const std::string& text, std::size_t& length) {
  return Number(text, 64, length) && length >= 16 && length % 4 == 0;
}

bool Optional32(const std::string& text, std::optional<std::uint32_t>& out) {
  std::uint32_t value;
  if (!Number(text, 0xFFFFFFFF, value)) return false;
  out = value;
  return true;
}

}  // namespace

const char* DevsimUsage() { return kUsage; }

std::optional<DevsimOptions> ParseDevsimOptions(int argc, const char* const* argv, std::string& error) {
  DevsimOptions options;
  SimConfig& c = options.config;
  SimFaults& f = c.faults;

  const std::map<std::string, std::function<void()>> flags = {
      {"--help", [&] { options.help = true; }},
      {"--strict-resends", [&] { c.resendRule = ResendRule::kAlways; }},
      {"--silent", [&] { f.silent = true; }},
      {"--bad-frame-crc", [&] { f.badFrameCrc = true; }},
      {"--bad-record-crc", [&] { f.badRecordCrc = true; }},
      {"--split", [&] { f.splitReply = true; }},
      {"--double", [&] { f.doubleFrame = true; }},
      {"--garbage", [&] { f.garbage = true; }},
  };
  const std::map<std::string, std::function<bool(const std::string&)>> valued = {
      {"--type", [&](const std::string& v) { return Number(v, 0xFFFF, c.typeWord); }},
      {"--bootloader", [&](const std::string& v) { return Number(v, 0xFF, c.bootloaderVersion); }},
      {"--firmware", [&](const std::string& v) { return Number(v, 0xFFFF, c.firmwareVersion); }},
      {"--data-version", [&](const std::string& v) { return Number(v, 0xFFFF, c.dataVersion); }},
      {"--program-check", [&](const std::string& v) { return Number(v, 0xFF, c.programCheck); }},
      {"--data-check", [&](const std::string& v) { return Number(v, 0xFF, c.dataCheck); }},
      {"--record-tail", [&](const std::string& v) { return RecordTail(v, c.recordTail); }},
      {"--interval", [&](const std::string& v) { return Number(v, 0xFFFF, c.blockIntervalMs); }},
      {"--timeout-update-after", [&](const std::string& v) { return TimeoutUpdate(v, c.timeoutUpdate); }},
      {"--verdict", [&](const std::string& v) { return Verdict(v, c.verdict); }},
      {"--blocks", [&](const std::string& v) { return Optional32(v, c.expectedBlocks); }},
      {"--reply-length", [&](const std::string& v) { return ReplyLength(v, c.replyLength); }},
      {"--seed", [&](const std::string& v) { return Optional32(v, c.randomSeed); }},
      {"--answer-after", [&](const std::string& v) { return Number(v, 0xFFFFFFFF, f.ignoredIdentifies); }},
      {"--vanish-after-blocks", [&](const std::string& v) { return Optional32(v, f.vanishAfterBlocks); }},
      {"--silent-after-blocks", [&](const std::string& v) { return Optional32(v, f.silentAfterBlocks); }},
  };

  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
    }
    if (const auto flag = flags.find(arg); flag != flags.end()) {
      if (value) {
        error = "option " + arg + " takes no value";
        return std::nullopt;
      }
      flag->second();
      continue;
    }
    const auto setter = valued.find(arg);
    if (setter == valued.end()) {
      error = "unknown option: " + arg;
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs a value";
        return std::nullopt;
      }
      value = argv[++i];
    }
    if (!setter->second(*value)) {
      error = "bad value for " + arg + ": " + *value;
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace corvane
