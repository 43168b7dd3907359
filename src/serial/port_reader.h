// The reader role of one open port, on the thread that serves the port: every read goes through
// the frame joining (frame_joiner.h); the frames found raise FrameReceived and go to the window
// thread as one hand-over, and the port reads nothing more until their dispatch has returned, so
// frames are dispatched one at a time and in arrival order.
//
// Closing the port cancels the reader: frames taken in and not yet dispatched are then dropped,
// not dispatched, and nothing is resumed. Both sides own the reader (a shared_ptr), since either
// may be done with it first.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame_flag.h"
#include "frame_joiner.h"
#include "join_trace.h"
#include "port_io.h"
#include "timing_probe.h"

namespace corvane {

class PortReader : public PortReceiver, public std::enable_shared_from_this<PortReader> {
 public:
  struct Hooks {
    // On the serving thread: frames are ready; have the window thread call Dispatch.
    std::function<void(std::shared_ptr<PortReader> reader)> post;
    // On the serving thread: the port went away; have the window thread hear of it.
    std::function<void(std::shared_ptr<PortReader> reader, const std::string& cause)> vanished;
    // On the serving thread, each read as it came, for the trace; may be empty.
    std::function<void(const std::uint8_t* data, std::size_t length)> traceRead;
    TimingProbe* probe = nullptr;    // may be null
    std::shared_ptr<JoinTrace> joinTrace;  // may be null
  };

  PortReader(std::shared_ptr<FrameFlag> frameReceived, Hooks hooks);

  // Serving thread.
  bool OnBytes(const std::uint8_t* data, std::size_t length) override;
  void OnVanished(const std::string& cause) override;

  // Window thread: hands each frame taken in to `sink(frame, length)`, in order, as long as the
  // reader is not cancelled (a frame may close the port). True when the port may read on.
  template <class F>
  bool Dispatch(F&& sink);
  // Any thread: the port is closing.
  void Cancel() { cancelled_ = true; }
  bool Cancelled() const { return cancelled_; }

 private:
  const std::shared_ptr<FrameFlag> frameReceived_;
  const Hooks hooks_;
  const SteadyJoinClock clock_;
  FrameJoiner joiner_;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;  // the frames cross threads here
  std::vector<std::uint8_t> bytes_;  // the frames back to back
  std::vector<std::size_t> ends_;    // where each one ends
  std::vector<std::uint8_t> out_;    // the window thread's copy while it dispatches
  std::vector<std::size_t> outEnds_;
};

template <class F>
bool PortReader::Dispatch(F&& sink) {
  {
    std::lock_guard lock(mutex_);
    out_.swap(bytes_);
    outEnds_.swap(ends_);
    bytes_.clear();
    ends_.clear();
  }
  std::size_t begin = 0;
  for (const std::size_t end : outEnds_) {
    if (cancelled_) return false;
    sink(static_cast<const std::uint8_t*>(out_.data() + begin), end - begin);
    begin = end;
  }
  return !cancelled_;
}

}  // namespace corvane
