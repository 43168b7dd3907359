// corvane-flash: the command-line updater.
#include <QCoreApplication>
#include <QSysInfo>
#include <QUuid>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "console_texts.h"
#include "exit_status.h"
#include "gang_run.h"
#include "input_file.h"
#include "json_events.h"
#include "port_identity.h"
#include "ports_command.h"
#include "run_log.h"
#include "single_run.h"
#include "terminal.h"
#include "trace.h"

namespace {

using namespace corvane::cli;

// Single device or gang, with the events and the records asked for.
ExitStatus RunCommand(const CliOptions& options, RunLog& log) {
  std::optional<JsonEvents> events;
  if (options.json) events.emplace(std::cout);
  RunFacts run;
  run.version = CORVANE_VERSION;
  run.runId = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
  run.host = QSysInfo::machineHostName().toStdString();
  run.station = options.station.empty() ? run.host : options.station;
  run.start = std::chrono::system_clock::now();
  const RunRecorder recorder{events ? &*events : nullptr, log.IsOpen() ? &log : nullptr, run, options.command};
  if (events) events->Start(run, options.command, options.file);
  // Only a record needs to know where a port comes from; looking it up costs a walk of the ports.
  const PortIdentityLookup lookUp = options.json || log.IsOpen() ? LookUpPortIdentity : PortIdentityLookup{};
  std::FILE* const human = options.json ? stderr : stdout;
  ExitStatus status = ExitStatus::kSuccess;
  if (options.gang) {
    GangRun gang(GangSetup{options, options.json ? std::cerr : std::cout, IsTerminal(human), TerminalColumns(human),
                           recorder, lookUp});
    status = gang.Run();
  } else {
    status = RunSingle(options, recorder, lookUp, IsTerminal(human));
  }
  if (events) events->Exit(status);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
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
  if (options.trace) corvane::EnableTrace();  // standard error; standard output stays the report's
  if (options.command == Command::kPorts) {
    ListPorts(options.ports, std::cout);
    return Code(ExitStatus::kSuccess);
  }
  // Messages that name the file name it in full, as the window's file dialog does.
  if (!options.file.empty()) options.file = corvane::AbsoluteUtf8(options.file);
  // No device is touched when its record could not be kept.
  RunLog log;
  std::string error;
  if (!options.log.empty() && !log.Open(options.log, error)) {
    std::cerr << texts::kLogNotOpened << options.log << ": " << error << std::endl;
    return Code(ExitStatus::kLogFailed);
  }
  const ExitStatus status = RunCommand(options, log);
  // Whatever standard output lost, the exit status is the device's result; say that it was lost.
  if (!std::cout.flush() || std::fflush(stdout) != 0 || std::ferror(stdout)) std::cerr << texts::kOutputLost << std::endl;
  return Code(status);
}
