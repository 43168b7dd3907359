// Dialogs that answer from a script and record what they were asked, so that no test waits
// for a click.
#pragma once
#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "dialogs.h"

namespace corvane::app::testing {

class ScriptedDialogs : public Dialogs {
 public:
  struct Box {
    QString text;
    QString caption;
    BoxButtons buttons;
  };
  struct FileRequest {
    QString filter;
    QString suffix;
    QString folder;
  };

  std::vector<Box> boxes;
  std::vector<FileRequest> fileRequests;
  std::vector<QString> errors;
  // Popped in order; when empty, boxes answer Ok (Yes for Yes/No) and dialogs cancel.
  std::deque<BoxAnswer> answers;
  std::deque<std::optional<QString>> files;

  BoxAnswer ShowBox(QWidget*, const QString& text, const QString& caption, BoxButtons buttons) override {
    boxes.push_back({text, caption, buttons});
    if (!answers.empty()) {
      const BoxAnswer a = answers.front();
      answers.pop_front();
      return a;
    }
    return buttons == BoxButtons::kYesNo ? BoxAnswer::kYes : BoxAnswer::kOk;
  }
  std::optional<QString> ChooseFile(QWidget*, const QString& filter, const QString& suffix,
                                    const QString& folder) override {
    fileRequests.push_back({filter, suffix, folder});
    if (files.empty()) return std::nullopt;
    auto f = files.front();
    files.pop_front();
    return f;
  }
  void ShowError(QWidget*, const QString& message) override { errors.push_back(message); }
};

}  // namespace corvane::app::testing
