// How a device's run ended, in words: a key for JSON and the log, and a phrase for people.
#pragma once
#include "exit_status.h"

namespace corvane::cli {

// "success", "update-failed", "file-refused", "link-dropped", "no-device", "unsupported-device",
// "log-failed", "interrupted", "usage".
const char* ResultKey(ExitStatus status);
// "success", "update failed", "file refused", ...
const char* ResultWords(ExitStatus status);

}  // namespace corvane::cli
