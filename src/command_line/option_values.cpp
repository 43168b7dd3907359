#include "option_values.h"

namespace corvane::command_line {
namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

CLI::Validator NotEmpty() {
  return CLI::Validator([](const std::string& text) { return text.empty() ? "needs a path" : ""; }, "");
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
    const auto digit = static_cast<unsigned>(DigitValue(c));
    if (digit >= base || digit > max || v > (max - digit) / base) return false;  // never overflows
    v = v * base + digit;
  }
  value = v;
  return true;
}

bool ParseSeconds(std::string_view text, long maxSeconds, std::chrono::milliseconds& out) {
  const auto dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return false;
  long long ms = 0;
  for (const char c : whole) {
    if (c < '0' || c > '9') return false;
    ms = ms * 10 + (c - '0');
    if (ms > maxSeconds) return false;
  }
  ms *= 1000;
  long long scale = 100;
  bool remainder = false;  // digits past the millisecond that are not all zero
  for (const char c : fraction) {
    if (c < '0' || c > '9') return false;
    ms += (c - '0') * scale;
    remainder = remainder || (scale == 0 && c != '0');
    scale /= 10;
  }
  if (remainder) ++ms;
  if (ms <= 0 || ms > maxSeconds * 1000LL) return false;
  out = std::chrono::milliseconds(ms);
  return true;
}

CLI::Validator Number(std::uint64_t min, std::uint64_t max) {
  const std::string range = std::to_string(min) + ".." + std::to_string(max);
  return CLI::Validator(
      [min, max, range](std::string& text) {
        std::uint64_t value = 0;
        if (!ParseNumber(text, max, value) || value < min)
          return "takes a number " + range + " (decimal or 0x-hex), not '" + text + "'";
        text = std::to_string(value);
        return std::string();
      },
      "");
}

CLI::Validator Seconds(long maxSeconds) {
  return CLI::Validator(
      [maxSeconds](std::string& text) {
        std::chrono::milliseconds ms{};
        if (!ParseSeconds(text, maxSeconds, ms))
          return "takes seconds above 0 and up to " + std::to_string(maxSeconds) + ", not '" + text + "'";
        text = std::to_string(ms.count());
        return std::string();
      },
      "");
}

CLI::Option* AddSeconds(CLI::App& app, const std::string& name, std::chrono::milliseconds& target, long maxSeconds) {
  return app.add_option_function<long long>(name, [&target](long long ms) { target = std::chrono::milliseconds(ms); })
      ->transform(Seconds(maxSeconds))
      ->type_name("SEC");
}

CLI::Option* AddPath(CLI::App& app, const std::string& name, std::string& target) {
  return app.add_option(name, target)->type_name("PATH")->check(NotEmpty());
}

CLI::Option* AddPaths(CLI::App& app, const std::string& name, std::vector<std::string>& targets) {
  return app.add_option(name, targets)->type_name("PATH")->allow_extra_args(false)->check(NotEmpty());
}

}  // namespace corvane::command_line
