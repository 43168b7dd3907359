// The view of a benchmark run: no window. The file dialog returns the prepared file, questions
// are answered Yes, and the milestones go to whoever drives the run.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "view.h"

namespace corvane::bench {

class BenchView final : public View {
 public:
  BenchView(std::string file, std::function<void(Outcome)> onOutcome)
      : file_(std::move(file)), onOutcome_(std::move(onOutcome)) {}

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

  void ReportOutcome(Outcome outcome) override { onOutcome_(outcome); }

  // The last status, notice or box text: what went wrong when a run fails.
  const std::string& LastText() const { return lastText_; }

 private:
  std::string file_;
  std::function<void(Outcome)> onOutcome_;
  std::string lastText_;
};

}  // namespace corvane::bench
