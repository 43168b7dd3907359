// The frame joiner's steps as trace lines (corvane.frames): pieces held, frames joined, bytes
// dropped; and the steady clock it measures the gap between reads with.
#pragma once
#include "frame_joiner.h"

namespace corvane {

class SteadyJoinClock : public JoinClock {
 public:
  std::chrono::steady_clock::time_point Now() const override { return std::chrono::steady_clock::now(); }
};

class FrameJoinTrace : public JoinTrace {
 public:
  void Held(std::size_t held, std::size_t pieces) override;
  void Joined(std::size_t length, std::size_t pieces) override;
  void Dropped(std::size_t bytes, DropCause cause) override;
};

}  // namespace corvane
