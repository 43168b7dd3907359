// Option values the same for every program: numbers are decimal or 0x-hexadecimal, seconds are
// decimal with an optional fraction, paths are not empty.
#pragma once
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::command_line {

// A decimal or 0x-prefixed hexadecimal number no greater than `max`, with nothing around it.
bool ParseNumber(std::string_view text, std::uint64_t max, std::uint64_t& value);

// Seconds with an optional decimal fraction ("10", "0.5", ".25") to whole milliseconds, a fraction
// of a millisecond rounding up. False for anything else, for 0 and above `maxSeconds`.
bool ParseSeconds(std::string_view text, long maxSeconds, std::chrono::milliseconds& out);

// Validators that accept the forms above and hand CLI11 the value as a plain decimal: a number
// from `min` to `max`, and seconds as whole milliseconds.
CLI::Validator Number(std::uint64_t min, std::uint64_t max);
CLI::Validator Seconds(long maxSeconds);

// Adds option `name` (e.g. "--type") taking a number from `min` to `max` into `target`, an integer
// or an std::optional of one.
template <typename T>
CLI::Option* AddNumber(CLI::App& app, const std::string& name, T& target, std::uint64_t min, std::uint64_t max) {
  return app.add_option_function<std::uint64_t>(name, [&target](std::uint64_t v) { target = static_cast<T>(v); })
      ->transform(Number(min, max))
      ->type_name("N");
}

// Adds option `name` taking seconds above 0 and up to `maxSeconds` into `target`.
CLI::Option* AddSeconds(CLI::App& app, const std::string& name, std::chrono::milliseconds& target, long maxSeconds);

// Adds option or operand `name` taking a path that is not empty; AddPaths makes it repeatable,
// `targets` getting the paths in the order given.
CLI::Option* AddPath(CLI::App& app, const std::string& name, std::string& target);
CLI::Option* AddPaths(CLI::App& app, const std::string& name, std::vector<std::string>& targets);

}  // namespace corvane::command_line
