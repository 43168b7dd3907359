// --json: one JSON object per event on standard output (JSON Lines), each with its "event" and,
// where it concerns a device, its "port". Written and flushed line by line.
#pragma once
#include <map>
#include <ostream>
#include <string>

#include "device_tap.h"
#include "exit_status.h"

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

  // A run that ended without a verdict from the device; `port` empty when it concerns no port.
  void Error(const std::string& port, ExitStatus status, const std::string& message);
  void Exit(ExitStatus status);

 private:
  void Write(const std::string& line);

  std::ostream& out_;
  std::map<std::string, int> shownPercent_;  // by port
};

}  // namespace corvane::cli
