// The modal boxes and the file-open dialog of the window, behind an interface so that tests can
// answer them without anybody clicking.
#pragma once
#include <QString>
#include <optional>

#include "view.h"

class QWidget;

namespace corvane::app {

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A modal box with exactly this text and caption. kOk and kOkCancel boxes carry no icon,
  // kYesNo boxes the information icon.
  virtual BoxAnswer ShowBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons) = 0;

  // The file-open dialog for one filter ("binary file SBIN (*.sbin)"), adding `defaultSuffix`
  // to a typed name without one, opening in `folder` (empty: the current directory).
  // nullopt when cancelled.
  virtual std::optional<QString> ChooseFile(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                                            const QString& folder) = 0;

  // The error box for an exception that escaped an event handler.
  virtual void ShowError(QWidget* parent, const QString& message) = 0;
};

// The real boxes (QMessageBox, QFileDialog).
class QtDialogs : public Dialogs {
 public:
  BoxAnswer ShowBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons) override;
  std::optional<QString> ChooseFile(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                                    const QString& folder) override;
  void ShowError(QWidget* parent, const QString& message) override;
};

// The application's name as the notices show it: the executable's name without its extension.
QString ApplicationTitle();

}  // namespace corvane::app
