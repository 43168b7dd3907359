// The view of a benchmark run: no window. The file dialog returns the prepared file, questions
// are answered Yes, and the moments the transfer starts and succeeds are taken as the session
// reports them.
#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "view.h"

namespace corvane::bench {

class BenchView final : public View {
 public:
  using Clock = std::chrono::steady_clock;

  explicit BenchView(std::string file) : file_(std::move(file)) {}

  void ClearMemo() override {}
  void AppendMemoLine(const std::string&) override {}
  void SetStatus(const std::string& text) override { lastText_ = text; }
  void SetBackground(Colour) override {}
  void SetEnabled(Control, bool) override {}
  void SetVisible(Control, bool) override {}
  void SetGauge(int) override {}
  void ShowProgress(std::uint32_t, std::uint32_t) override {}
  void ShowVerdict(const Verdict& verdict) override { lastText_ = verdict.text; }
  void ShowPorts(const std::vector<std::string>&, const std::string&) override {}

  void ShowNotice(const std::string& text) override { lastText_ = text; }
  BoxAnswer ShowBox(const std::string& text, const std::string&, BoxButtons buttons) override {
    lastText_ = text;
    return buttons == BoxButtons::kYesNo ? BoxAnswer::kYes : BoxAnswer::kOk;
  }
  std::optional<std::string> ChooseFile(const FileFilter&) override { return file_; }

  // Timed here, inside the handler, not when the milestone reaches the driver.
  void ReportOutcome(Outcome outcome) override {
    if (outcome == Outcome::kTransferStarted) started_ = Clock::now();
    if (outcome == Outcome::kUpdateSucceeded) succeeded_ = Clock::now();
  }

  // The error box for an exception that escaped a handler.
  void ShowError(const std::string& message) { lastText_ = message; }

  // The last status, notice, box or error text: what went wrong when a run fails.
  const std::string& LastText() const { return lastText_; }
  // Block 0 handed to the link -> the success verdict.
  double TransferSeconds() const { return std::chrono::duration<double>(succeeded_ - started_).count(); }

 private:
  std::string file_;
  std::string lastText_;
  Clock::time_point started_{};
  Clock::time_point succeeded_{};
};

}  // namespace corvane::bench
