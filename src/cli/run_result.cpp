#include "run_result.h"

namespace corvane::cli {
namespace {

struct Names {
  const char* key;
  const char* words;
};

Names NamesOf(ExitStatus status) {
  switch (status) {
    case ExitStatus::kSuccess: return {"success", "success"};
    case ExitStatus::kUpdateFailed: return {"update-failed", "update failed"};
    case ExitStatus::kFileRefused: return {"file-refused", "file refused"};
    case ExitStatus::kLinkDropped: return {"link-dropped", "link dropped"};
    case ExitStatus::kNoDevice: return {"no-device", "no device"};
    case ExitStatus::kUnsupported: return {"unsupported-device", "unsupported device"};
    case ExitStatus::kUsage: return {"usage", "usage error"};
    case ExitStatus::kLogFailed: return {"log-failed", "log not written"};
    case ExitStatus::kInterrupted: return {"interrupted", "interrupted"};
  }
  return {"unknown", "unknown"};
}

}  // namespace

const char* ResultKey(ExitStatus status) { return NamesOf(status).key; }
const char* ResultWords(ExitStatus status) { return NamesOf(status).words; }

}  // namespace corvane::cli
