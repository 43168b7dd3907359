// Plays the completion sounds: a WAV file relative to the current directory, asynchronously,
// with the system beep when the file is missing or cannot be played.
#pragma once
#include <QObject>
#include <functional>
#include <memory>

#include "completion_notices.h"

class QSoundEffect;

namespace corvane::app {

class QtSoundPlayer : public QObject, public SoundPlayer {
  Q_OBJECT

 public:
  using Beep = std::function<void()>;
  // `beep` stands in for QApplication::beep (tests count the calls).
  explicit QtSoundPlayer(Beep beep = {}, QObject* parent = nullptr);
  ~QtSoundPlayer() override;

  // Starts playing and returns at once; a sound still playing is replaced.
  void Play(const std::string& path) override;

 private:
  void Fallback();

  Beep beep_;
  QSoundEffect* current_ = nullptr;
};

}  // namespace corvane::app
