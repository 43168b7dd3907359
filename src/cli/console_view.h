// The session's view on a console: the report and the progress go to standard output, boxes,
// notices and status texts to standard error. Boxes are answered at once: the firmware questions
// by --yes, the file dialog with the file named on the command line. What the run makes of the
// milestones is not the view's business: it only prints the report and ends the progress line.
#pragma once
#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "port_advice.h"
#include "progress_printer.h"
#include "view.h"

namespace corvane::cli {

struct ConsoleSetup {
  std::ostream& out;
  std::ostream& err;
  bool terminal = false;  // standard output is a terminal
  bool yes = false;       // answer Yes to the firmware questions
  std::string file;       // what the file dialog returns
  ProgressPrinter::Clock clock = [] { return std::chrono::steady_clock::now(); };
};

class ConsoleView : public View {
 public:
  explicit ConsoleView(const ConsoleSetup& setup);

  // Whether the window would let the button be pressed now (shown and enabled).
  bool Offers(Control control) const;
  // A message of the updater itself, on standard error.
  void Message(const std::string& text);
  // Is also handed each message of the updater itself (for the run's record).
  void SetMessageHook(std::function<void(const std::string&)> hook) { messageHook_ = std::move(hook); }
  // A line on standard error that adds to a message (not a message of its own: no hook).
  void Detail(const std::string& line) { ToErr(line); }
  // The error box for an exception that escaped a handler, on standard error.
  void ShowError(const std::string& message);
  // The scan's last open attempt on each port, in the order the ports were first tried (no
  // access group: finding it is the caller's business).
  const std::vector<PortAttempt>& OpenAttempts() const { return attempts_; }
  // The port the scan opened last; empty before any opened.
  const std::string& LastOpenedPort() const { return lastOpened_; }

  void ClearMemo() override;
  void AppendMemoLine(const std::string& line) override;
  void SetStatus(const std::string& text) override;
  void SetBackground(Colour) override {}
  void SetEnabled(Control control, bool enabled) override;
  void SetVisible(Control control, bool visible) override;
  void SetGauge(int) override {}  // the scan's gauge; a transfer's progress comes to ShowProgress
  void ShowProgress(std::uint32_t block, std::uint32_t blockCount) override;
  void ShowVerdict(const Verdict& verdict) override;
  void ShowPorts(const std::vector<std::string>&, const std::string&) override {}
  void ShowNotice(const std::string& text) override;
  BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) override;
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;
  void ReportOutcome(Outcome outcome) override;
  void ShowOpenAttempt(const std::string& port, const OpenFailure& failure) override;

 private:
  struct ControlState {
    bool enabled;
    bool visible;
  };
  void ToOut(const std::string& line);
  void ToErr(const std::string& line);

  std::ostream& out_;
  std::ostream& err_;
  const bool yes_;
  const std::string file_;
  ProgressPrinter progress_;
  std::function<void(const std::string&)> messageHook_;
  std::vector<std::string> memo_;
  std::string lastStatus_;
  bool scanAnnounced_ = false;
  bool reportPrinted_ = false;
  std::vector<PortAttempt> attempts_;
  std::string lastOpened_;
  // By Control, as the window starts: CONNECT enabled, the update buttons disabled, "write data
  // map" hidden.
  std::array<ControlState, 3> controls_{{{true, true}, {false, true}, {false, false}}};
};

}  // namespace corvane::cli
