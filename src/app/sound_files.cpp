// What both ways of playing the completion sounds share: where a sound file is looked for, the
// check of the files at start, and the beep that stands in.
#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include "sound_player.h"

Q_LOGGING_CATEGORY(lcSound, "corvane.sound", QtWarningMsg)

namespace corvane::app {

QtSoundPlayer::QtSoundPlayer(Beep beep, QObject* parent)
    : QObject(parent), beep_(beep ? std::move(beep) : Beep([] { QApplication::beep(); })) {}

QtSoundPlayer::~QtSoundPlayer() = default;  // a sound effect playing is a child and goes with us

QString QtSoundPlayer::Resolve(const std::string& path) {
  // "voice//x.wav" is resolved against the current directory; the doubled slash is harmless.
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
      qCWarning(lcSound).noquote() << "sound file missing:" << file << StandIn();
    }
  }
  return missing;
}

void QtSoundPlayer::Fallback() { beep_(); }

}  // namespace corvane::app
