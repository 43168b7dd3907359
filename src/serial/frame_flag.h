// FrameReceived: raised on the link thread for every accepted chunk, read and cleared on the
// window thread. One flag for the link's whole life; it survives closing and reopening ports.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace corvane {

class FrameFlag {
 public:
  void Raise();
  void Clear();
  bool IsRaised() const;
  // Blocks until the flag is raised or `limit` has passed, and returns the flag.
  bool Wait(std::chrono::milliseconds limit);

 private:
  std::atomic<bool> raised_{false};
  std::mutex mutex_;
  std::condition_variable raisedSignal_;
};

}  // namespace corvane
