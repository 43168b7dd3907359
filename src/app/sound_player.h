// Plays the completion sounds: a WAV file relative to the current directory, asynchronously,
// with the system beep when the file is missing or cannot be played. Built without Qt Multimedia
// (CORVANE_SOUND off), the beep always stands in.
#pragma once
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "completion_notices.h"

class QSoundEffect;

Q_DECLARE_LOGGING_CATEGORY(lcSound)

namespace corvane::app {

class QtSoundPlayer : public QObject, public SoundPlayer {
  Q_OBJECT

 public:
  using Beep = std::function<void()>;
  // `beep` stands in for QApplication::beep (tests count the calls).
  explicit QtSoundPlayer(Beep beep = {}, QObject* parent = nullptr);
  ~QtSoundPlayer() override;

  // The absolute file a sound path names, resolved against the current directory.
  static QString Resolve(const std::string& path);
  // Says on the "corvane.sound" log where each sound is looked for: a debug line for a file
  // found, a warning for one missing (the beep will stand in). Returns the number missing.
  static int CheckFiles(const std::vector<std::string>& paths);

  // Starts playing and returns at once; a sound still playing is replaced.
  void Play(const std::string& path) override;

 private:
  void Fallback();
  // How a missing file is made up for, as the check at start says it.
  static const char* StandIn();

  Beep beep_;
  QSoundEffect* current_ = nullptr;
};

}  // namespace corvane::app
