// The command line plays no completion sound: the verdict is printed instead.
#pragma once
#include "completion_notices.h"

namespace corvane::cli {

class SilentSoundPlayer final : public SoundPlayer {
 public:
  void Play(const std::string&) override {}
};

}  // namespace corvane::cli
