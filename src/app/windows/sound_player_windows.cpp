// The completion sounds on Windows: the system plays the file itself, asynchronously, and plays
// its default sound when the file is missing or cannot be played (no SND_NODEFAULT), so no
// fallback of our own is needed. The name is passed exactly as given, relative to the current
// directory ("voice//update_is_ready.wav").
#include <windows.h>
#include <mmsystem.h>

#include <QString>

#include "sound_player.h"

namespace corvane::app {

const char* QtSoundPlayer::StandIn() { return "(the system's default sound stands in)"; }

void QtSoundPlayer::Play(const std::string& path) {
  qCDebug(lcSound).noquote() << "PlaySoundA" << QString::fromStdString(path) << "SND_FILENAME | SND_ASYNC";
  PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC);  // the result is not examined
}

}  // namespace corvane::app
