// One program's command line on CLI11. Every program answers -h/--help with its own help text
// and -V/--version with one line, and ends a mistake with one line naming it, a pointer to
// --help, and exit status 64. Parsing prints nothing: Finish() does.
#pragma once
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace corvane::command_line {

inline constexpr int kUsageExitStatus = 64;  // EX_USAGE

enum class Action { kRun, kHelp, kVersion, kUsageError };

struct Outcome {
  Action action = Action::kRun;
  // kHelp and kVersion: what goes to standard output. kUsageError: what goes to standard error,
  // "PROGRAM: <the mistake>" and "Try 'PROGRAM --help' for more information.", each ending in a newline.
  std::string text;
};

// A program's options together with how their parse ended.
template <typename Options>
struct Parsed {
  Options options;
  Outcome outcome;
};

// Prints the outcome's text where it belongs and returns the exit status: 0 after help or version,
// 64 after a usage error. Not for kRun.
int Finish(const Outcome& outcome);

// "corvane-pack 1.28"
std::string VersionLine(const std::string& program);

class Parser {
 public:
  // `help` is printed as it stands; `version` is one line without its newline. Flags are single
  // values (given twice, the last counts) and take no "=value"; commands added to app() inherit both.
  Parser(std::string program, std::string help, std::string version);

  CLI::App& app() { return app_; }

  // Parses the arguments after the program name.
  Outcome Parse(const std::vector<std::string>& args);

 private:
  Outcome Answer(Outcome answer) const;
  std::string UsageError(const std::string& mistake) const;
  std::string Unexpected() const;

  std::string program_;
  std::string help_;
  std::string version_;
  CLI::App app_;
};

}  // namespace corvane::command_line
