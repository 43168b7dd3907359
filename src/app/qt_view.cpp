#include "qt_view.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>

#include "dialogs.h"
#include "gauge.h"
#include "main_window.h"

namespace corvane::app {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QPushButton* ButtonFor(const MainWindow& window, Control control) {
  switch (control) {
    case Control::kConnect:
      return window.ConnectButton();
    case Control::kUpdateFirmware:
      return window.UpdateFirmwareButton();
    case Control::kWriteDataMap:
      return window.WriteDataMapButton();
  }
  return nullptr;
}

}  // namespace

QtView::QtView(MainWindow& window, Dialogs& dialogs) : window_(window), dialogs_(dialogs) {}

void QtView::ClearMemo() {
  window_.Memo()->clear();
  memoHasLines_ = false;
}

void QtView::AppendMemoLine(const std::string& line) {
  // Each call adds exactly one line, an empty one too (appendPlainText would fold an empty
  // first line into the empty document).
  QPlainTextEdit* memo = window_.Memo();
  QTextCursor cursor(memo->document());
  cursor.movePosition(QTextCursor::End);
  if (memoHasLines_) cursor.insertBlock();
  cursor.insertText(Q(line));
  memoHasLines_ = true;
}

void QtView::SetStatus(const std::string& text) { window_.StatusLine()->showMessage(Q(text)); }

void QtView::ShowOpenAttempt(const std::string& port, const OpenFailure& failure) {
  window_.StatusLine()->setToolTip(failure.Failed() ? Q(port + ": " + CauseText(failure)) : QString());
}

void QtView::SetBackground(Colour colour) {
  switch (colour) {
    case Colour::kButtonFace:
      window_.SetBackground(window_.ButtonFace());
      return;
    case Colour::kLightGreen:
      window_.SetBackground(QColor(169, 234, 159));
      return;
    case Colour::kRed:
      window_.SetBackground(QColor(255, 0, 0));
      return;
  }
}

void QtView::SetEnabled(Control control, bool enabled) {
  if (QPushButton* b = ButtonFor(window_, control)) b->setEnabled(enabled);
}

void QtView::SetVisible(Control control, bool visible) {
  if (QPushButton* b = ButtonFor(window_, control)) b->setVisible(visible);
}

void QtView::SetGauge(int percent) { window_.ProgressGauge()->SetPercent(percent); }

void QtView::ShowProgress(std::uint32_t block, std::uint32_t blockCount) {
  SetGauge(ProgressPercent(block, blockCount));
}

void QtView::ShowVerdict(const Verdict& verdict) { ShowBox(verdict.text, verdict.caption, BoxButtons::kOk); }

void QtView::ShowPorts(const std::vector<std::string>& names, const std::string& current) {
  QComboBox* list = window_.PortList();
  QStringList items;
  items.reserve(static_cast<qsizetype>(names.size()));
  for (const auto& n : names) items << Q(n);
  list->clear();
  list->addItems(items);
  list->setEditText(Q(current));
}

void QtView::ShowNotice(const std::string& text) {
  dialogs_.ShowBox(&window_, Q(text), ApplicationTitle(), BoxButtons::kOk);
}

BoxAnswer QtView::ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) {
  return dialogs_.ShowBox(&window_, Q(text), Q(caption), buttons);
}

std::optional<std::string> QtView::ChooseFile(const FileFilter& filter) {
  const QString nameFilter = Q(filter.name) + QStringLiteral(" (") + Q(filter.pattern) + QStringLiteral(")");
  const auto chosen = dialogs_.ChooseFile(&window_, nameFilter, Q(filter.defaultSuffix), folder_);
  if (!chosen) return std::nullopt;
  folder_ = QFileInfo(*chosen).absolutePath();
  return chosen->toStdString();
}

}  // namespace corvane::app
