#include "hand_over.h"

#include <utility>

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

void HandOver::TakeSends(PendingSends& sends) {
  sends.bytes.clear();
  sends.ends.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  std::swap(sends, sends_);  // both keep their room: no allocation once warmed up
}

bool HandOver::PutSend(const std::uint8_t* data, std::size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (cancelled_) return false;
  // Sends already waiting have their wake-up coming; with a chunk out the link thread takes them
  // as soon as AwaitDispatch returns.
  const bool wake = sends_.ends.empty() && !out_;
  sends_.bytes.insert(sends_.bytes.end(), data, data + length);
  sends_.ends.push_back(sends_.bytes.size());
  return wake;
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
    sends_ = {};
  }
  changed_.notify_all();
}

}  // namespace corvane
