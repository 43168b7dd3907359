#include "completion_notices.h"

#include "texts.h"

namespace corvane {

void CompletionNotices::Tick() {
  // Each flag is cleared before its sound starts, so one verdict gives exactly one sound.
  if (readySoundPending_ == 1) {
    readySoundPending_ = 0;
    player_.Play(texts::kReadySound);
  }
  if (failedSoundPending_ == 1) {
    failedSoundPending_ = 0;
    player_.Play(texts::kFailedSound);
  }
}

}  // namespace corvane
