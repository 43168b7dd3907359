#include "frame_joiner.h"

#include <algorithm>
#include <cstring>

namespace corvane {
namespace {

constexpr std::uint8_t kFrameStart = 0xDA;  // the high byte of every frame type

bool PassesAlone(const std::uint8_t* data, std::size_t length) {
  return CheckFrame(data, static_cast<std::uint16_t>(std::min(length, kFrameSize)));
}

}  // namespace

FrameJoiner::FrameJoiner(const JoinClock& clock, JoinTrace* trace) : clock_(clock), trace_(trace) {}

void FrameJoiner::Reset() {
  count_ = 0;
  tried_ = kMinFrameSize - 1;
  pieces_ = 0;
  lastRead_.reset();
}

void FrameJoiner::Take(const std::uint8_t* data, std::size_t length, const FrameSink& frame) {
  if (length == 0) return;
  const auto now = clock_.Now();
  if (count_ > 0 && lastRead_ && now - *lastRead_ > kGap) DropFront(count_, JoinTrace::DropCause::kGap);
  lastRead_ = now;

  if (!CompletesHeld(data, length) && PassesAlone(data, length)) {
    if (count_ > 0) DropFront(count_, JoinTrace::DropCause::kWhole);
    frame(data, length);
    if (length > kFrameSize) Join(data + kFrameSize, length - kFrameSize, frame);
    return;
  }
  Join(data, length, frame);
}

void FrameJoiner::Join(const std::uint8_t* data, std::size_t length, const FrameSink& frame) {
  ++pieces_;
  std::size_t used = 0;
  for (;;) {
    const std::size_t room = std::min(kFrameSize - count_, length - used);
    std::memcpy(held_.data() + count_, data + used, room);
    if (count_ == 0 && room > 0 && held_[0] != kFrameStart) {
      count_ = room;
      DropToFrameStart(0);
    } else {
      count_ += room;
    }
    used += room;
    if (TakeFrame(frame)) continue;
    if (count_ < kFrameSize) break;  // everything read is held, and no frame is complete yet
    DropToFrameStart(1);              // 64 bytes from this front made no frame
  }
  if (count_ == 0) {
    pieces_ = 0;
  } else if (trace_) {
    trace_->Held(count_, pieces_);
  }
}

// Whether the held bytes and the start of this read make a frame: then the read is their rest,
// even if it passes the check by itself as well (a coincidence of the CRC).
bool FrameJoiner::CompletesHeld(const std::uint8_t* data, std::size_t length) {
  if (count_ == 0) return false;
  const std::size_t room = std::min(kFrameSize - count_, length);
  std::memcpy(held_.data() + count_, data, room);  // beyond count_: not held yet
  for (std::size_t l = std::max(count_ + 1, kMinFrameSize); l <= count_ + room; ++l)
    if (CheckFrame(held_.data(), static_cast<std::uint16_t>(l))) return true;
  return false;
}

// Hands on the shortest frame at the front of what is held, if there is one, and keeps the rest.
bool FrameJoiner::TakeFrame(const FrameSink& frame) {
  for (std::size_t length = std::max(tried_ + 1, kMinFrameSize); length <= count_; ++length) {
    if (!CheckFrame(held_.data(), static_cast<std::uint16_t>(length))) continue;
    if (trace_) trace_->Joined(length, pieces_);
    frame(held_.data(), length);
    std::memmove(held_.data(), held_.data() + length, count_ - length);
    count_ -= length;
    tried_ = kMinFrameSize - 1;
    pieces_ = count_ > 0 ? 1 : 0;
    if (count_ > 0 && held_[0] != kFrameStart) DropToFrameStart(0);
    return true;
  }
  tried_ = std::max(tried_, count_);
  return false;
}

// Drops the held bytes before the first frame start at or after `from`, or all of them.
void FrameJoiner::DropToFrameStart(std::size_t from) {
  std::size_t start = from;
  while (start < count_ && held_[start] != kFrameStart) ++start;
  if (start > 0) DropFront(start, JoinTrace::DropCause::kNoFrame);
}

void FrameJoiner::DropFront(std::size_t bytes, JoinTrace::DropCause cause) {
  std::memmove(held_.data(), held_.data() + bytes, count_ - bytes);
  count_ -= bytes;
  tried_ = kMinFrameSize - 1;
  if (count_ == 0) pieces_ = 0;
  if (trace_) trace_->Dropped(bytes, cause);
}

}  // namespace corvane
