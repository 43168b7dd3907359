// A sound player that plays nothing: corvane-flash prints its verdicts instead, and a benchmark
// run has nobody to hear them.
#pragma once
#include <string>

#include "completion_notices.h"

namespace corvane::qt {

class SilentSoundPlayer final : public SoundPlayer {
 public:
  void Play(const std::string&) override {}
};

}  // namespace corvane::qt
