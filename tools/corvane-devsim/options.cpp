#include "options.h"

#include <cstdint>
#include <functional>

#include "line_time.h"
#include "option_values.h"

namespace corvane {
namespace {

using command_line::AddNumber;
using command_line::ParseNumber;

const char kUsage[] =
    "Usage: corvane-devsim [options]\n"
    "A simulated controller on a pseudo-terminal. Prints the path to open as a serial port on\n"
    "the first line, answers until SIGINT or SIGTERM, and prints one line per finished transfer.\n"
    "Numbers are decimal or 0x-hexadecimal.\n"
    "\n"
    "Controllers:\n"
    "  --count N                  start N controllers alike, 1..64, each on a pseudo-terminal of\n"
    "                             its own: their paths come first, one a line, and each later\n"
    "                             line begins with the path it is about (default 1)\n"
    "  --baud N                   keep the time of an 8N1 line of N bit/s, 0..4000000: bytes\n"
    "                             count as received, and answers reach the host, only once they\n"
    "                             would have crossed the wire at 10 bits a byte (at 115200 a\n"
    "                             64-byte block takes 5.6 ms, a 16-byte request 1.4 ms);\n"
    "                             0 = answer at once (default 0)\n"
    "  --deliver whole|uart|ftdi|ftdi16|ch340|cdc\n"
    "                             hand each answer to the host in the pieces and at the times\n"
    "                             that kind of adapter would: a 16550 UART 8 bytes at a time, an\n"
    "                             FTDI chip a packet (at most 62 bytes) every 1 ms, or every\n"
    "                             16 ms with ftdi16, a CH340 32-byte packets, a USB CDC device\n"
    "                             64-byte packets; whole = each write at once (default whole).\n"
    "                             Without --baud the pieces come at the pace of 115200\n"
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
    "  -h, --help                 show this text\n"
    "  -V, --version              show the version\n"
    "\n"
    "Exit status: 0 when it ends in order, 64 for a usage error, 71 when no pseudo-terminal can\n"
    "be opened.\n";

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
    if (!Number("0x" + text.substr(i, 2), 0xFF, tail[i / 2])) return false;
  }
  return true;
}

bool TimeoutUpdate(const std::string& text, std::optional<TimeoutUpdatePlan>& plan) {
  const std::size_t first = text.find(':');
  if (first == std::string::npos) return false;
  const std::size_t second = text.find(':', first + 1);
  TimeoutUpdatePlan p;
  if (!Number(text.substr(0, first), 0xFFFFFFFF, p.afterBlock)) return false;
  const std::string interval =
      text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
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
  std::size_t value = 0;
  if (!Number(text, 64, value) || value < 16 || value % 4 != 0) return false;
  length = value;
  return true;
}

// Adds option `name` whose value `set` reads; when it cannot, the mistake names `expected`.
void AddValue(CLI::App& app, const std::string& name, const std::string& expected,
              std::function<bool(const std::string&)> set) {
  app.add_option_function<std::string>(name, [name, expected, set](const std::string& value) {
    if (!set(value)) throw CLI::ValidationError(name, "takes " + expected + ", not '" + value + "'");
  });
}

void AddIdentification(CLI::App& app, SimConfig& c) {
  AddNumber(app, "--type", c.typeWord, 0, 0xFFFF);
  AddNumber(app, "--bootloader", c.bootloaderVersion, 0, 0xFF);
  AddNumber(app, "--firmware", c.firmwareVersion, 0, 0xFFFF);
  AddNumber(app, "--data-version", c.dataVersion, 0, 0xFFFF);
  AddNumber(app, "--program-check", c.programCheck, 0, 0xFF);
  AddNumber(app, "--data-check", c.dataCheck, 0, 0xFF);
  AddValue(app, "--record-tail", "up to 23 bytes as hex digits",
           [&c](const std::string& v) { return RecordTail(v, c.recordTail); });
}

void AddTransfer(CLI::App& app, SimConfig& c) {
  AddNumber(app, "--interval", c.blockIntervalMs, 0, 0xFFFF);
  AddValue(app, "--timeout-update-after", "K:MS or K:MS:HOLD",
           [&c](const std::string& v) { return TimeoutUpdate(v, c.timeoutUpdate); });
  AddValue(app, "--verdict", "ok, fail or a number 0..255",
           [&c](const std::string& v) { return Verdict(v, c.verdict); });
  AddNumber(app, "--blocks", c.expectedBlocks, 0, 0xFFFFFFFF);
  AddValue(app, "--reply-length", "16..64 in steps of 4",
           [&c](const std::string& v) { return ReplyLength(v, c.replyLength); });
  app.add_flag_callback("--strict-resends", [&c] { c.resendRule = ResendRule::kAlways; });
  AddNumber(app, "--seed", c.randomSeed, 0, 0xFFFFFFFF);
}

void AddFaults(CLI::App& app, SimFaults& f) {
  app.add_flag("--silent", f.silent);
  app.add_flag("--bad-frame-crc", f.badFrameCrc);
  app.add_flag("--bad-record-crc", f.badRecordCrc);
  app.add_flag("--split", f.splitReply);
  app.add_flag("--double", f.doubleFrame);
  app.add_flag("--garbage", f.garbage);
  AddNumber(app, "--answer-after", f.ignoredIdentifies, 0, 0xFFFFFFFF);
  AddNumber(app, "--vanish-after-blocks", f.vanishAfterBlocks, 0, 0xFFFFFFFF);
  AddNumber(app, "--silent-after-blocks", f.silentAfterBlocks, 0, 0xFFFFFFFF);
}

}  // namespace

command_line::Parsed<DevsimOptions> ParseDevsimOptions(const std::vector<std::string>& args) {
  command_line::Parsed<DevsimOptions> parsed;
  command_line::Parser parser("corvane-devsim", kUsage, command_line::VersionLine("corvane-devsim"));
  AddIdentification(parser.app(), parsed.options.config);
  AddTransfer(parser.app(), parsed.options.config);
  AddFaults(parser.app(), parsed.options.config.faults);
  AddNumber(parser.app(), "--count", parsed.options.count, 1, kMaxDevices);
  AddNumber(parser.app(), "--baud", parsed.options.config.lineBaud, 0, 4'000'000);
  SimConfig& config = parsed.options.config;
  AddValue(parser.app(), "--deliver", "whole, uart, ftdi, ftdi16, ch340 or cdc", [&config](const std::string& v) {
    const auto delivery = DeliveryNamed(v);
    if (delivery) config.delivery = *delivery;
    return delivery.has_value();
  });
  parsed.outcome = parser.Parse(args);
  return parsed;
}

}  // namespace corvane
