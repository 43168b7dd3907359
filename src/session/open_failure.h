// Why a port did not open: the documented result (which picks the status text) and the cause
// behind it, with the programs that hold the port when that is the cause.
#pragma once
#include <string>
#include <vector>

namespace corvane {

// What the window shows for a port that did not open (one status text each).
enum class OpenResult { kOk, kOpenFailed, kReadSettingsFailed, kApplySettingsFailed, kTimeoutsFailed };

enum class OpenCause {
  kNone,
  kNotFound,
  kPermissionDenied,
  kBusy,
  kLocked,
  kNotSerial,
  kSettingsRefused,
  kIoError,
  // A port on another machine (rfc2217://, socket://).
  kHostNotFound,
  kConnectionRefused,
  kTimedOut,
};

// A process that has the port open.
struct PortHolder {
  int pid = 0;
  std::string name;  // the process's command name; empty when it could not be read
  bool operator==(const PortHolder&) const = default;
};

struct OpenFailure {
  OpenResult result = OpenResult::kOk;
  OpenCause cause = OpenCause::kNone;
  int error = 0;                    // errno of the step that failed; 0 when none applies
  std::string detail;               // the system's words for `error`, or what the path turned out to be
  std::vector<PortHolder> holders;  // for kBusy: who has the port open, when that could be seen

  bool Failed() const { return cause != OpenCause::kNone || result != OpenResult::kOk; }
};

// A failure of the line-settings steps after the port itself opened.
OpenFailure SettingsFailure(OpenResult result);

// One line of English: "not found", "permission denied", "busy: held by minicom (pid 4242)",
// "locked by another program", "not a serial device", "settings refused" (": <detail>" when the detail names the setting),
// "I/O error: <detail>", "host not found", "connection refused", "timed out".
// Empty when nothing failed.
std::string CauseText(const OpenFailure& failure);

// "minicom (pid 4242)"; a holder without a name is "pid 4242".
std::string HolderText(const PortHolder& holder);
// The first `shown` holders, then how many more: "a (pid 1), b (pid 2) and 97 more". A desktop
// may have hundreds of processes holding one path open; a line names a few.
inline constexpr std::size_t kHoldersShown = 3;
std::string HolderList(const std::vector<PortHolder>& holders, std::size_t shown = kHoldersShown);

}  // namespace corvane
