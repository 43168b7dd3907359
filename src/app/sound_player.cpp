#include "sound_player.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#if CORVANE_SOUND
#include <QSoundEffect>
#endif

Q_LOGGING_CATEGORY(lcSound, "corvane.sound", QtWarningMsg)

namespace corvane::app {

QtSoundPlayer::QtSoundPlayer(Beep beep, QObject* parent)
    : QObject(parent), beep_(beep ? std::move(beep) : Beep([] { QApplication::beep(); })) {}

QtSoundPlayer::~QtSoundPlayer() = default;  // the effect is a child and goes with us

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
      qCWarning(lcSound).noquote() << "sound file missing:" << file << "(the system beep stands in)";
    }
  }
  return missing;
}

void QtSoundPlayer::Fallback() { beep_(); }

#if CORVANE_SOUND
void QtSoundPlayer::Play(const std::string& path) {
  if (current_) {
    current_->stop();
    current_->deleteLater();
    current_ = nullptr;
  }
  const QString file = Resolve(path);
  if (!QFileInfo(file).isFile()) {
    qCDebug(lcSound).noquote() << "not found, beeping:" << file;
    Fallback();
    return;
  }
  qCDebug(lcSound).noquote() << "playing:" << file;
  auto* effect = new QSoundEffect(this);
  current_ = effect;
  connect(effect, &QSoundEffect::statusChanged, this, [this, effect] {
    if (effect->status() == QSoundEffect::Error && effect == current_) Fallback();
  });
  effect->setSource(QUrl::fromLocalFile(file));
  effect->play();  // starts once loaded; loading and playing do not block this thread
}
#else
void QtSoundPlayer::Play(const std::string& path) {
  qCDebug(lcSound).noquote() << "built without sound, beeping for:" << Resolve(path);
  Fallback();
}
#endif

}  // namespace corvane::app
