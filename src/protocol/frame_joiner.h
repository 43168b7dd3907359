// Frames that arrive in pieces. Serial adapters hand received bytes over in pieces (a UART's
// FIFO trigger, a USB adapter's packets), so one frame may come in several reads, and one read
// may end one frame and begin the next. FrameJoiner takes the reads one after another and finds
// the frames in them:
//
// - A read that passes CheckFrame by itself, with nothing held, is one frame as it stands: it is
//   handed on whole, once (CheckFrame looks at its first 64 bytes). Its bytes beyond the first 64
//   are kept as the start of what follows. Held bytes before such a read are dropped, unless
//   they and the read's start make a frame.
// - Any other read is appended to the bytes held. The smallest length of 16..64 from the front
//   that passes CheckFrame is a frame; it is handed on and the rest stays held. Bytes at the
//   front that cannot begin a frame (every frame begins with 0xDA), and a front that made no
//   frame within 64 bytes up to the next 0xDA, are dropped. At most 64 bytes are held.
// - Held bytes are dropped when the next read comes more than kGap after the one before.
#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "frame.h"

namespace corvane {

class JoinClock {
 public:
  virtual ~JoinClock() = default;
  virtual std::chrono::steady_clock::time_point Now() const = 0;
};

// What the joiner does with the bytes, for the trace.
class JoinTrace {
 public:
  enum class DropCause : std::uint8_t {
    kGap,       // the rest did not follow within kGap
    kWhole,     // a read that is a frame by itself came instead of the rest
    kNoFrame,   // the bytes cannot begin a frame
  };
  virtual ~JoinTrace() = default;
  // A read has ended with `held` bytes kept, from `pieces` reads.
  virtual void Held(std::size_t held, std::size_t pieces) = 0;
  // A frame of `length` bytes was found in what was held, its bytes from `pieces` reads.
  virtual void Joined(std::size_t length, std::size_t pieces) = 0;
  virtual void Dropped(std::size_t bytes, DropCause cause) = 0;
};

class FrameJoiner {
 public:
  // Pieces of one frame come within an adapter's latency of each other: an FTDI chip sends what
  // it has at least every 16 ms (its default latency timer; 1 ms in low-latency mode), a CH340
  // after a few character times, a 16550 after 4 character times (0.35 ms at 115200). 50 ms
  // allows three such timer periods, so that a link thread woken late by a busy machine still
  // joins them, and is at most half of what the host waits before it repeats an end frame
  // (100 ms) or an identification (200 ms), so a stale piece is gone before a repeat's answer.
  static constexpr std::chrono::milliseconds kGap{50};

  using FrameSink = std::function<void(const std::uint8_t* frame, std::size_t length)>;

  explicit FrameJoiner(const JoinClock& clock, JoinTrace* trace = nullptr);

  // One read of `length` bytes; calls frame(ptr, len) once per frame found, in order. `ptr` is
  // valid during the call only; `frame` must not call Take or Reset.
  void Take(const std::uint8_t* data, std::size_t length, const FrameSink& frame);
  // Forgets what is held (a port closed or opened).
  void Reset();
  std::size_t Held() const { return count_; }

 private:
  void Join(const std::uint8_t* data, std::size_t length, const FrameSink& frame);
  bool CompletesHeld(const std::uint8_t* data, std::size_t length);
  bool TakeFrame(const FrameSink& frame);
  void DropFront(std::size_t bytes, JoinTrace::DropCause cause);
  void DropToFrameStart(std::size_t from);

  const JoinClock& clock_;
  JoinTrace* trace_;
  std::array<std::uint8_t, kFrameSize> held_{};
  std::size_t count_ = 0;
  // Lengths up to this one have been tried from the present front.
  std::size_t tried_ = kMinFrameSize - 1;
  std::size_t pieces_ = 0;  // reads the held bytes came from
  std::optional<std::chrono::steady_clock::time_point> lastRead_;
};

}  // namespace corvane
