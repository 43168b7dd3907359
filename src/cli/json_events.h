// --json: one JSON object per event on standard output (JSON Lines), each with its "event" and,
// where it concerns a device, its "port". Written and flushed line by line.
#pragma once
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "run_result.h"

#include "cli_options.h"
#include "device_tap.h"
#include "exit_status.h"
#include "log_record.h"

namespace corvane::cli {

class JsonEvents final : public DeviceEvents {
 public:
  explicit JsonEvents(std::ostream& out) : out_(out) {}

  void OnFound(const DeviceFacts& facts) override;
  void OnReport(const DeviceFacts& facts) override;
  // A progress event at every new percentage (and for block 0), not for every block.
  void OnProgress(const DeviceFacts& facts) override;
  void OnQuestion(const DeviceFacts& facts, Question which, bool yes) override;
  void OnResult(const DeviceFacts& facts) override;

  // First line: the tool, the run and what it was asked to do (`file` empty for identify).
  void Start(const RunFacts& run, Command command, const std::string& file);
  // A run that ended without a verdict from the device; `port` empty when it concerns no port.
  // `portsTried` is given where no device answered.
  void Error(const std::string& port, const char* cause, const std::string& message,
             const std::vector<std::string>* portsTried = nullptr);
  void Error(const std::string& port, ExitStatus status, const std::string& message) {
    Error(port, ResultKey(status), message);
  }
  // A gang's last line before the exit: every device's result.
  struct PortResult {
    std::string port;
    const char* result;
    ExitStatus status;
    std::uint32_t sent, total;
  };
  void Summary(const std::vector<PortResult>& results, ExitStatus status);
  // Last line: the exit status, with the run's id and its end.
  void Exit(ExitStatus status);

 private:
  void Write(const std::string& line);

  std::ostream& out_;
  std::string runId_;
  std::map<std::string, int> shownPercent_;  // by port
};

}  // namespace corvane::cli
