#include "run_recorder.h"

namespace corvane::cli {

bool RunRecorder::Record(const DeviceFacts& facts, ExitStatus status, const FileFacts* file,
                         std::string& error) const {
  if (events && status != ExitStatus::kSuccess && !facts.verdict)
    events->Error(facts.port, ResultKeyOf(facts, status), facts.lastMessage,
                  status == ExitStatus::kNoDevice ? &facts.portsTried : nullptr);
  if (!log) return true;
  const LogRecord record{&run,   std::chrono::system_clock::now(), command, &facts, command == Command::kIdentify ? nullptr : file,
                         status, facts.TransferSeconds(Clock::now())};
  std::string reason;
  if (log->Append(LogRecordLine(record), reason)) return true;
  error = log->Path() + ": " + reason;
  if (events) events->Error(facts.port, ExitStatus::kLogFailed, error);
  return false;
}

}  // namespace corvane::cli
