#include "parser.h"

#include <algorithm>
#include <cstdio>
#include <regex>
#include <utility>

namespace corvane::command_line {

namespace {

// CLI11 reads "--name=" as "--name" alone and would take the next argument as its value.
bool EmptyValue(const std::string& arg) {
  return arg.size() > 3 && arg.starts_with("--") && arg.find('=') == arg.size() - 1;
}

// Some of CLI11's messages in plainer words.
std::string Rephrase(const std::string& message) {
  static const std::pair<std::regex, const char*> kPlainer[] = {
      {std::regex("(\\S+) was given a disallowed flag override"), "--$1 takes no value"},
      {std::regex("(\\S+): \\d+ required \\S+ missing"), "$1 needs a value"},
      {std::regex("(\\S+): At Most 1 required but received \\d+"), "$1 is given more than once"},
  };
  for (const auto& [pattern, plainer] : kPlainer)
    if (std::regex_match(message, pattern)) return std::regex_replace(message, pattern, plainer);
  return message;
}

}  // namespace

int Finish(const Outcome& outcome) {
  switch (outcome.action) {
    case Action::kHelp:
    case Action::kVersion:
      std::fputs(outcome.text.c_str(), stdout);
      std::fflush(stdout);
      return 0;
    case Action::kUsageError:
      std::fputs(outcome.text.c_str(), stderr);
      return kUsageExitStatus;
    case Action::kRun:
      break;
  }
  return 0;
}

std::string VersionLine(const std::string& program) { return program + " " + CORVANE_VERSION; }

Parser::Parser(std::string program, std::string help, std::string version)
    : program_(std::move(program)), help_(std::move(help)), version_(std::move(version)), app_("", program_) {
  app_.option_defaults()->disable_flag_override()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app_.set_help_flag("-h,--help");
  app_.set_version_flag("-V,--version", version_);
}

Outcome Parser::Parse(const std::vector<std::string>& args) {
  const auto optionsEnd = std::find(args.begin(), args.end(), "--");
  if (const auto empty = std::find_if(args.begin(), optionsEnd, EmptyValue); empty != optionsEnd)
    return {Action::kUsageError, UsageError("empty value in '" + *empty + "'")};
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
  try {
    app_.parse(reversed);
    return {};
  } catch (const CLI::CallForHelp&) {
    return Answer({Action::kHelp, help_});
  } catch (const CLI::CallForVersion&) {
    return Answer({Action::kVersion, version_ + "\n"});
  } catch (const CLI::ExtrasError&) {
    return {Action::kUsageError, UsageError(Unexpected())};
  } catch (const CLI::ParseError& e) {
    return {Action::kUsageError, UsageError(Rephrase(e.what()))};
  }
}

// Help and version only for a command line without unknown words: in "corvane-pack flahs
// --version 3 ..." the --version is not a question, the unknown command is a mistake.
Outcome Parser::Answer(Outcome answer) const {
  if (!app_.remaining(true).empty()) return {Action::kUsageError, UsageError(Unexpected())};
  return answer;
}

std::string Parser::UsageError(const std::string& mistake) const {
  std::string line = mistake;
  std::replace(line.begin(), line.end(), '\n', ' ');
  return program_ + ": " + line + "\nTry '" + program_ + " --help' for more information.\n";
}

// Names the first argument nobody took: an unknown option, a word where a command was expected,
// or one argument too many.
std::string Parser::Unexpected() const {
  const std::vector<std::string> rest = app_.remaining(true);
  if (rest.empty()) return "unexpected argument";
  const std::string& arg = rest.front();
  if (arg.size() > 1 && arg[0] == '-') return "unknown option '" + arg.substr(0, arg.find('=')) + "'";
  const bool takesCommands = !app_.get_subcommands([](const CLI::App*) { return true; }).empty();
  if (takesCommands && app_.get_subcommands().empty()) return "unknown command '" + arg + "'";
  return "unexpected argument '" + arg + "'";
}

}  // namespace corvane::command_line
