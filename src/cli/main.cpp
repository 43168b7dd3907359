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

#include <csignal>

#include "cli_options.h"
#include "console_texts.h"
#include "input_file.h"
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

#ifndef _WIN32
  // A reader that goes away (`| head -1`) must not end a transfer half-way: writes to the closed
  // pipe fail instead, and the run goes on to its result.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  QCoreApplication application(argc, argv);
  CliOptions options = parsed.options;
  // Messages that name the file name it in full, as the window's file dialog does.
  if (!options.file.empty()) options.file = corvane::AbsoluteUtf8(options.file);
  ConsoleView view(ConsoleSetup{std::cout, std::cerr, StdoutIsTerminal(), options.yes, options.file});
  FlashRun run(options, view);
  const ExitStatus status = run.Run();
  // Whatever standard output lost, the exit status is the device's result; say that it was lost.
  if (!std::cout.flush() || std::fflush(stdout) != 0 || std::ferror(stdout)) std::cerr << texts::kOutputLost << std::endl;
  return Code(status);
}
