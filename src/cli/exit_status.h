// The exit statuses of corvane-flash; scripts rely on these numbers.
#pragma once

namespace corvane::cli {

enum class ExitStatus : int {
  kSuccess = 0,       // the update succeeded; identify: a supported device was reported
  kUpdateFailed = 1,  // the device reported a failed update
  kFileRefused = 2,   // the file failed a check, or a question was answered No
  kLinkDropped = 3,   // the device stopped answering and the retries were used up
  kNoDevice = 4,      // no device was reported within the scan timeout
  kUnsupported = 5,   // the device's type is not supported
  kUsage = 64,        // bad command line (EX_USAGE)
  kLogFailed = 73,    // the --log file could not be opened or a record not written (EX_CANTCREAT)
  kInterrupted = 130, // ended by SIGINT, SIGTERM or SIGHUP (128 + SIGINT, as shells report it)
};

constexpr int Code(ExitStatus status) { return static_cast<int>(status); }

// The graver of two statuses: the higher number.
constexpr ExitStatus Graver(ExitStatus a, ExitStatus b) { return Code(a) >= Code(b) ? a : b; }

}  // namespace corvane::cli
