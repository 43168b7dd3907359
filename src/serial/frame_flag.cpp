#include "frame_flag.h"

namespace corvane {

void FrameFlag::Raise() {
  {
    // Taking the mutex orders the store against a waiter that has just tested the flag.
    std::lock_guard<std::mutex> lock(mutex_);
    raised_.store(true, std::memory_order_release);
  }
  raisedSignal_.notify_all();
}

void FrameFlag::Clear() { raised_.store(false, std::memory_order_release); }

bool FrameFlag::IsRaised() const { return raised_.load(std::memory_order_acquire); }

bool FrameFlag::Wait(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return raisedSignal_.wait_for(lock, limit, [this] { return raised_.load(std::memory_order_acquire); });
}

}  // namespace corvane
