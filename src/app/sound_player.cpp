#include "sound_player.h"

#include <QFileInfo>
#include <QUrl>
#if CORVANE_SOUND
#include <QSoundEffect>
#endif

namespace corvane::app {

const char* QtSoundPlayer::StandIn() { return "(the system beep stands in)"; }

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
