// What is kept of each device's run once it has ended, whatever the end: the error event of a
// run that ended without the device's verdict (--json) and the log record (--log).
#pragma once
#include <string>

#include "cli_options.h"
#include "device_tap.h"
#include "exit_status.h"
#include "json_events.h"
#include "log_record.h"
#include "run_log.h"

namespace corvane::cli {

struct RunRecorder {
  JsonEvents* events = nullptr;  // none: no --json
  RunLog* log = nullptr;         // none: no --log
  RunFacts run;
  Command command = Command::kIdentify;

  // `file` is none for identify. False when the log record could not be written; `error` then
  // says why, and the error event has gone out.
  bool Record(const DeviceFacts& facts, ExitStatus status, const FileFacts* file, std::string& error) const;
};

}  // namespace corvane::cli
