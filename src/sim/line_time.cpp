#include "line_time.h"

#include <algorithm>

namespace corvane {

LineClockType::duration LineClock::Duration(std::size_t bytes) const {
  if (baud_ == 0) return LineClockType::duration::zero();
  using Nanoseconds = std::chrono::nanoseconds;
  const auto bits = static_cast<std::uint64_t>(bytes) * kBitsPerByte;
  // Rounded up: a byte is never in before its last bit.
  const std::uint64_t ns = (bits * 1'000'000'000ULL + baud_ - 1) / baud_;
  return std::chrono::duration_cast<LineClockType::duration>(Nanoseconds(static_cast<Nanoseconds::rep>(ns)));
}

LineTime LineClock::Receive(std::size_t bytes, LineTime start) {
  receiveFree_ = std::max(receiveFree_, start) + Duration(bytes);
  return receiveFree_;
}

LineTime LineClock::Send(std::size_t bytes, LineTime ready) {
  sendFree_ = std::max(sendFree_, ready) + Duration(bytes);
  return sendFree_;
}

void LineLog::Add(const LineEvent& event) {
  ring_[next_] = event;
  next_ = (next_ + 1) % kCapacity;
  count_ = std::min(count_ + 1, kCapacity);
}

std::vector<LineEvent> LineLog::Events() const {
  std::vector<LineEvent> events;
  events.reserve(count_);
  const std::size_t first = (next_ + kCapacity - count_) % kCapacity;
  for (std::size_t i = 0; i < count_; ++i) events.push_back(ring_[(first + i) % kCapacity]);
  return events;
}

}  // namespace corvane
