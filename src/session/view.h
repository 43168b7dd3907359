// What the connect and update logic needs from a window (or a console): texts, colours,
// buttons, the gauge, message boxes and the file dialog. Implemented by the Qt window, the
// command-line updater and the tests' recording fake.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "identification.h"
#include "open_failure.h"
#include "scrambler.h"

namespace corvane {

enum class Colour { kButtonFace, kLightGreen, kRed };

// The controls whose state the logic changes: Button1, Button2 and Button4.
enum class Control { kConnect, kUpdateFirmware, kWriteDataMap };

enum class BoxButtons { kOk, kOkCancel, kYesNo };  // kYesNo carries the information icon
enum class BoxAnswer { kOk, kCancel, kYes, kNo };

struct FileFilter {
  std::string name;           // e.g. "binary file SBIN"
  std::string pattern;        // e.g. "*.sbin"
  std::string defaultSuffix;  // e.g. "sbin"
};

// The device's verdict on a transfer, with the box the window shows for it.
struct Verdict {
  TransferKind kind = TransferKind::kFirmware;
  bool success = false;
  std::string text;
  std::string caption;
};

// The gauge's percentage for block `block` of `blockCount`, in integer arithmetic: multiplied
// before dividing, so 29 of 100 blocks shows 29 where (29 / 100.0) * 100 would give 28.999...
// and show 28. 0 when nothing is loaded; at most 100.
inline int ProgressPercent(std::uint32_t block, std::uint32_t blockCount) {
  if (blockCount == 0) return 0;
  const std::uint64_t percent = std::uint64_t{block} * 100 / blockCount;
  return percent > 100 ? 100 : static_cast<int>(percent);
}

// Milestones for callers that act on results (the command-line updater); the window ignores them.
enum class Outcome {
  kDeviceReported,     // a supported device was reported
  kDeviceUnsupported,  // the unsupported-type box was shown
  kLinkDropped,        // the retries were used up
  kFileRefused,        // an update file failed a check or a question was answered No
  kTransferStarted,    // block 0 of a new transfer went out
  kUpdateSucceeded,    // a result frame said 1
  kUpdateFailed,       // a result frame said anything else
  kRecordRejected,     // an identification reply came whose record failed its CRC
};

class View {
 public:
  virtual ~View() = default;

  virtual void ClearMemo() = 0;
  virtual void AppendMemoLine(const std::string& line) = 0;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetBackground(Colour colour) = 0;
  virtual void SetEnabled(Control control, bool enabled) = 0;
  virtual void SetVisible(Control control, bool visible) = 0;
  virtual void SetGauge(int percent) = 0;
  // A transfer's progress: block `block` of `blockCount` has just been handed to the link
  // (`block` == `blockCount`: the end frame). The window's gauge shows block * 100 / blockCount.
  virtual void ShowProgress(std::uint32_t block, std::uint32_t blockCount) = 0;
  // The device's verdict, after the link was closed; the window shows it in a box.
  virtual void ShowVerdict(const Verdict& verdict) = 0;
  // The hidden port list (ComboBox1): its items and its edit text.
  virtual void ShowPorts(const std::vector<std::string>& names, const std::string& current) = 0;

  // A plain notice with an OK button under the application's title.
  virtual void ShowNotice(const std::string& text) = 0;
  // A modal box; returns the button pressed.
  virtual BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) = 0;
  // The file-open dialog; nullopt when cancelled.
  virtual std::optional<std::string> ChooseFile(const FileFilter& filter) = 0;

  virtual void ReportOutcome(Outcome) {}
  // After every open of a port by the scan: `failure` says why it did not open (nothing failed
  // when it did). The window keeps its status texts and shows the cause as the status tooltip.
  virtual void ShowOpenAttempt(const std::string& /*port*/, const OpenFailure& /*failure*/) {}
  // A diagnostic for the trace: why the logic did what it did where that is not plain to see.
  virtual void Trace(const std::string& /*text*/) {}
  // Every identification record that passed its checks, supported or not, before it is reported;
  // for callers that keep a record of the device (the command-line updater); the window ignores it.
  virtual void ReportIdentification(const IdentificationRecord&) {}
};

}  // namespace corvane
