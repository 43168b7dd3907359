#include "dialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace corvane::app {

QString ApplicationTitle() {
  const QString path = QCoreApplication::applicationFilePath();
  if (path.isEmpty()) return QCoreApplication::applicationName();
  // "corvane-programmer.exe" -> "corvane-programmer"; a name without a dot stays whole.
  return QFileInfo(path).completeBaseName();
}

BoxAnswer QtDialogs::ShowBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons) {
  QMessageBox box(parent);
  box.setText(text);
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(caption);
  switch (buttons) {
    case BoxButtons::kOk:
      box.setIcon(QMessageBox::NoIcon);
      box.setStandardButtons(QMessageBox::Ok);
      box.exec();
      return BoxAnswer::kOk;
    case BoxButtons::kOkCancel:
      box.setIcon(QMessageBox::NoIcon);
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      box.setEscapeButton(QMessageBox::Cancel);
      return box.exec() == QMessageBox::Ok ? BoxAnswer::kOk : BoxAnswer::kCancel;
    case BoxButtons::kYesNo:
      box.setIcon(QMessageBox::Information);
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      return box.exec() == QMessageBox::Yes ? BoxAnswer::kYes : BoxAnswer::kNo;
  }
  return BoxAnswer::kCancel;
}

std::optional<QString> QtDialogs::ChooseFile(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                                             const QString& folder) {
  QFileDialog dialog(parent);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilter(filter);
  dialog.setDefaultSuffix(defaultSuffix);
  if (!folder.isEmpty()) dialog.setDirectory(folder);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.front();
}

void QtDialogs::ShowError(QWidget* parent, const QString& message) {
  QMessageBox box(parent);
  box.setIcon(QMessageBox::Critical);
  box.setTextFormat(Qt::PlainText);
  box.setWindowTitle(ApplicationTitle());
  box.setText(message);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

}  // namespace corvane::app
