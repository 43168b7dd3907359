// The view a hosted session talks to: every call goes on to the program's own view unchanged,
// and each milestone is also handed to `onOutcome` (the host, which acts on it later).
#pragma once
#include <functional>
#include <utility>

#include "trace.h"
#include "view.h"

namespace corvane::qt {

class OutcomeTap final : public View {
 public:
  OutcomeTap(View& view, std::function<void(Outcome)> onOutcome) : view_(view), onOutcome_(std::move(onOutcome)) {}

  void ClearMemo() override { view_.ClearMemo(); }
  void AppendMemoLine(const std::string& line) override { view_.AppendMemoLine(line); }
  void SetStatus(const std::string& text) override { view_.SetStatus(text); }
  void SetBackground(Colour colour) override { view_.SetBackground(colour); }
  void SetEnabled(Control control, bool enabled) override { view_.SetEnabled(control, enabled); }
  void SetVisible(Control control, bool visible) override { view_.SetVisible(control, visible); }
  void SetGauge(int percent) override { view_.SetGauge(percent); }
  void ShowProgress(std::uint32_t block, std::uint32_t blockCount) override { view_.ShowProgress(block, blockCount); }
  void ShowVerdict(const Verdict& verdict) override { view_.ShowVerdict(verdict); }
  void ShowPorts(const std::vector<std::string>& names, const std::string& current) override {
    view_.ShowPorts(names, current);
  }
  void ShowNotice(const std::string& text) override { view_.ShowNotice(text); }
  BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) override {
    return view_.ShowBox(text, caption, buttons);
  }
  std::optional<std::string> ChooseFile(const FileFilter& filter) override { return view_.ChooseFile(filter); }
  void ShowOpenAttempt(const std::string& port, const OpenFailure& failure) override {
    if (failure.Failed())
      qCDebug(ScanTrace).noquote() << "scan:" << QString::fromStdString(port) << "did not open:"
                                   << QString::fromStdString(CauseText(failure));
    else
      qCDebug(ScanTrace).noquote() << "scan:" << QString::fromStdString(port) << "opened";
    view_.ShowOpenAttempt(port, failure);
  }
  void Trace(const std::string& text) override {
    qCDebug(FrameTrace).noquote() << QString::fromStdString(text);
    view_.Trace(text);
  }
  void ReportOutcome(Outcome outcome) override {
    view_.ReportOutcome(outcome);
    onOutcome_(outcome);
  }
  void ReportIdentification(const IdentificationRecord& record) override { view_.ReportIdentification(record); }

 private:
  View& view_;
  std::function<void(Outcome)> onOutcome_;
};

}  // namespace corvane::qt
