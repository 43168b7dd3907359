#include "sound_player.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace corvane::app {

QtSoundPlayer::QtSoundPlayer(Beep beep, QObject* parent)
    : QObject(parent), beep_(beep ? std::move(beep) : Beep([] { QApplication::beep(); })) {}

QtSoundPlayer::~QtSoundPlayer() = default;  // the effect is a child and goes with us

void QtSoundPlayer::Fallback() { beep_(); }

void QtSoundPlayer::Play(const std::string& path) {
  if (current_) {
    current_->stop();
    current_->deleteLater();
    current_ = nullptr;
  }
  // "voice//x.wav" is resolved against the current directory; the doubled slash is harmless.
  const QString file = QDir::cleanPath(QDir::current().absoluteFilePath(QString::fromStdString(path)));
  if (!QFileInfo(file).isFile()) {
    Fallback();
    return;
  }
  auto* effect = new QSoundEffect(this);
  current_ = effect;
  connect(effect, &QSoundEffect::statusChanged, this, [this, effect] {
    if (effect->status() == QSoundEffect::Error && effect == current_) Fallback();
  });
  effect->setSource(QUrl::fromLocalFile(file));
  effect->play();  // starts once loaded; loading and playing do not block this thread
}

}  // namespace corvane::app
