// A --log record: what went into which unit. One JSON line per device and run.
#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli_options.h"
#include "device_tap.h"
#include "exit_status.h"

namespace corvane::cli {

// The update file as it was read for the run.
struct FileFacts {
  std::string path;  // absolute
  bool read = false;  // false: it could not be read; size and digest are then unknown
  std::uint64_t size = 0;
  std::string sha256;                    // lowercase hex
  std::optional<std::uint16_t> version;  // the header's firmware or data version; none when damaged
};

// The run a record belongs to; every device of a gang shares it.
struct RunFacts {
  std::string tool = "corvane-flash";
  std::string version;  // the tool's
  std::string runId;    // random, one per process
  std::string station;  // --station, by default the host name
  std::string host;
  std::chrono::system_clock::time_point start;  // when the run began
};

struct LogRecord {
  const RunFacts* run = nullptr;
  std::chrono::system_clock::time_point end;  // when the device's run ended
  Command command = Command::kIdentify;
  const DeviceFacts* device = nullptr;
  const FileFacts* file = nullptr;  // none for identify
  ExitStatus status = ExitStatus::kSuccess;
  double seconds = 0;  // the transfer, block 0 to its end; 0 without one
};

// "2024-05-17T09:30:12.345Z"
std::string UtcTimestamp(std::chrono::system_clock::time_point time);

// "firmware", "data-map", "identify".
const char* CommandName(Command command);

// The key of a run's result: "record-rejected" for a device whose identification record failed
// its check (no update was tried), else the exit status's key.
const char* ResultKeyOf(const DeviceFacts& device, ExitStatus status);

// The record as one line, with its newline.
std::string LogRecordLine(const LogRecord& record);

}  // namespace corvane::cli
