// The window as the logic sees it: texts, colours, buttons, gauge, port list, boxes and the
// file dialog, mapped onto the MainWindow's widgets.
#pragma once
#include <QString>

#include "view.h"

namespace corvane::app {

class Dialogs;
class MainWindow;

class QtView : public View {
 public:
  QtView(MainWindow& window, Dialogs& dialogs);

  // The folder the file dialog opens in; afterwards it follows the last chosen file.
  void SetStartFolder(const QString& folder) { folder_ = folder; }
  QString StartFolder() const { return folder_; }

  void ClearMemo() override;
  void AppendMemoLine(const std::string& line) override;
  void SetStatus(const std::string& text) override;
  void SetBackground(Colour colour) override;
  void SetEnabled(Control control, bool enabled) override;
  void SetVisible(Control control, bool visible) override;
  void SetGauge(int percent) override;
  void ShowProgress(std::uint32_t block, std::uint32_t blockCount) override;
  void ShowVerdict(const Verdict& verdict) override;
  void ShowPorts(const std::vector<std::string>& names, const std::string& current) override;
  void ShowNotice(const std::string& text) override;
  // The status text stays as documented; why the port did not open goes to its tooltip.
  void ShowOpenAttempt(const std::string& port, const OpenFailure& failure) override;
  BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) override;
  std::optional<std::string> ChooseFile(const FileFilter& filter) override;

 private:
  MainWindow& window_;
  Dialogs& dialogs_;
  QString folder_;
  // False right after ClearMemo: the next line goes into the memo's first, empty block.
  bool memoHasLines_ = true;
};

}  // namespace corvane::app
