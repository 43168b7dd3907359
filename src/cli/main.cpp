// corvane-flash: the command-line updater.
#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli_options.h"
#include "console_view.h"
#include "exit_status.h"
#include "flash_run.h"

namespace {

bool StdoutIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(STDOUT_FILENO) != 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane::cli;
  using corvane::command_line::Finish;

  static_assert(Code(ExitStatus::kUsage) == corvane::command_line::kUsageExitStatus);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto parsed = ParseCliOptions(args);
  if (parsed.outcome.action != corvane::command_line::Action::kRun) return Finish(parsed.outcome);

  QCoreApplication application(argc, argv);
  const CliOptions& options = parsed.options;
  ConsoleView view(ConsoleSetup{std::cout, std::cerr, StdoutIsTerminal(), options.yes, options.file});
  FlashRun run(options, view);
  return Code(run.Run());
}
