#include "console_view.h"

#include <algorithm>

#include "console_texts.h"
#include "texts.h"

namespace corvane::cli {

ConsoleView::ConsoleView(const ConsoleSetup& setup)
    : out_(setup.out),
      err_(setup.err),
      yes_(setup.yes),
      file_(setup.file),
      progress_(setup.out, setup.terminal, setup.clock) {}

bool ConsoleView::Offers(Control control) const {
  const ControlState& state = controls_.at(static_cast<std::size_t>(control));
  return state.enabled && state.visible;
}

void ConsoleView::Message(const std::string& text) {
  if (messageHook_) messageHook_(text);
  ToErr(text);
}

void ConsoleView::ShowError(const std::string& message) {
  ToErr(std::string(corvane::texts::kErrorCaption) + ": " + message);
}

void ConsoleView::ToOut(const std::string& line) {
  progress_.BreakLine();
  out_ << line << '\n';
  out_.flush();
}

void ConsoleView::ToErr(const std::string& line) {
  progress_.BreakLine();  // a terminal shows both streams: the progress line must end first
  err_ << line << '\n';
  err_.flush();
}

void ConsoleView::ClearMemo() { memo_.clear(); }

void ConsoleView::AppendMemoLine(const std::string& line) { memo_.push_back(line); }

void ConsoleView::SetStatus(const std::string& text) {
  // The scan sets its texts on every 100 ms step; each is worth one line, not ten a second.
  if (text == lastStatus_) return;
  if (text == corvane::texts::kScanning) {
    if (scanAnnounced_) return;
    scanAnnounced_ = true;
  }
  lastStatus_ = text;
  ToErr(text);
}

void ConsoleView::SetEnabled(Control control, bool enabled) {
  controls_.at(static_cast<std::size_t>(control)).enabled = enabled;
}

void ConsoleView::SetVisible(Control control, bool visible) {
  controls_.at(static_cast<std::size_t>(control)).visible = visible;
}

void ConsoleView::ShowProgress(std::uint32_t block, std::uint32_t blockCount) {
  if (block == 0) progress_.Start();  // block 0 starts a transfer
  // `block` has just been handed to the link: block + 1 blocks are out (all of them with the end frame).
  progress_.Show(ProgressPercent(block, blockCount), std::min(block + 1, blockCount), blockCount);
}

void ConsoleView::ShowVerdict(const Verdict& verdict) { ToOut(verdict.text); }

void ConsoleView::ShowNotice(const std::string& text) { ToErr(text); }

BoxAnswer ConsoleView::ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) {
  if (buttons == BoxButtons::kYesNo) {
    ToErr(text);
    ToErr(yes_ ? texts::kAnsweredYes : texts::kAnsweredNo);
    return yes_ ? BoxAnswer::kYes : BoxAnswer::kNo;
  }
  ToErr(caption.empty() ? text : caption + ": " + text);
  return BoxAnswer::kOk;
}

std::optional<std::string> ConsoleView::ChooseFile(const FileFilter&) { return file_; }

void ConsoleView::ReportOutcome(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDeviceReported:
      // The report as Memo1 holds it once complete; a later report would only break into the
      // progress output.
      if (!reportPrinted_) {
        for (const std::string& line : memo_) ToOut(line);
        reportPrinted_ = true;
      }
      break;
    case Outcome::kUpdateSucceeded:
    case Outcome::kUpdateFailed:
    case Outcome::kLinkDropped:
    case Outcome::kFileRefused:
      progress_.BreakLine();
      break;
    case Outcome::kDeviceUnsupported:
    case Outcome::kTransferStarted:
    case Outcome::kRecordRejected:
      break;
  }
}

void ConsoleView::ShowOpenAttempt(const std::string& port, const OpenFailure& failure) {
  if (!failure.Failed()) lastOpened_ = port;
  const auto known =
      std::find_if(attempts_.begin(), attempts_.end(), [&port](const PortAttempt& a) { return a.port == port; });
  if (known != attempts_.end()) {
    known->failure = failure;
  } else {
    attempts_.push_back(PortAttempt{port, failure, {}});
  }
}

}  // namespace corvane::cli
