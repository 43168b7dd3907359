#include "hand_over.h"

namespace corvane {

bool HandOver::Offer(std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return false;
  length_ = length;
  out_ = true;
  return true;
}

bool HandOver::AwaitDispatch() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !out_ || cancelled_; });
  return !cancelled_;
}

bool HandOver::Cancelled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

std::size_t HandOver::OutLength() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return length_;
}

void HandOver::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    out_ = false;
  }
  changed_.notify_all();
}

void HandOver::Cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
  }
  changed_.notify_all();
}

}  // namespace corvane
