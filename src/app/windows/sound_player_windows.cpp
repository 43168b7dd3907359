// The completion sounds on Windows: the system plays the file itself, asynchronously, and plays
// its default sound when the file is missing or cannot be played (no SND_NODEFAULT), so no
// fallback of our own is needed. The name is passed exactly as given, relative to the current
// directory ("voice//update_is_ready.wav").
#include <windows.h>
#include <mmsystem.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "sound_player.h"

Q_LOGGING_CATEGORY(lcSound, "corvane.sound", QtWarningMsg)

namespace corvane::app {

QtSoundPlayer::QtSoundPlayer(Beep beep, QObject* parent)
    : QObject(parent), beep_(beep ? std::move(beep) : Beep([] { QApplication::beep(); })) {}

QtSoundPlayer::~QtSoundPlayer() = default;

QString QtSoundPlayer::Resolve(const std::string& path) {
  return QDir::cleanPath(QDir::current().absoluteFilePath(QString::fromStdString(path)));
}

int QtSoundPlayer::CheckFiles(const std::vector<std::string>& paths) {
  int missing = 0;
  for (const std::string& path : paths) {
    const QString file = Resolve(path);
    if (QFileInfo(file).isFile()) {
      qCDebug(lcSound).noquote() << "sound file:" << file;
    } else {
      ++missing;
      qCWarning(lcSound).noquote() << "sound file missing:" << file << "(the system's default sound stands in)";
    }
  }
  return missing;
}

void QtSoundPlayer::Fallback() { beep_(); }

void QtSoundPlayer::Play(const std::string& path) {
  qCDebug(lcSound).noquote() << "PlaySoundA" << QString::fromStdString(path) << "SND_FILENAME | SND_ASYNC";
  PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);  // the result is not examined
}

}  // namespace corvane::app
