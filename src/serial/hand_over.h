// The hand-over of one accepted chunk from the link thread to the window thread.
//
// The link thread fills the buffer, puts the chunk out for dispatch and waits until the window
// thread has dispatched it, so chunks are dispatched one at a time and in arrival order. Closing
// the port cancels the hand-over: the link thread stops waiting at once and takes no further
// chunk. A chunk already out still comes to Dispatch on the window thread, which can tell from
// Cancelled() that its port has gone. Both threads own the hand-over, since either may finish
// with it first.
#pragma once
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "frame.h"

namespace corvane {

class HandOver {
 public:
  // Link thread: where the next chunk is read to; written only while no chunk is out.
  std::uint8_t* Buffer() { return buffer_.data(); }
  // Link thread: puts the first `length` bytes of the buffer out for dispatch.
  // False, and nothing is out, once the hand-over is cancelled.
  bool Offer(std::size_t length);
  // Link thread: true when the dispatch has returned, false when the hand-over was cancelled.
  bool AwaitDispatch();
  bool Cancelled() const;

  // Window thread: runs `dispatch(bytes, length)` on the chunk that is out, then lets the link
  // thread go on, also when `dispatch` throws.
  template <class F>
  void Dispatch(F&& dispatch);
  // Window thread (any thread): the port is closing.
  void Cancel();

 private:
  std::size_t OutLength() const;
  void Finish();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool out_ = false;
  bool cancelled_ = false;
  std::size_t length_ = 0;
  std::array<std::uint8_t, kRxBufferSize> buffer_{};
};

template <class F>
void HandOver::Dispatch(F&& dispatch) {
  struct Release {
    HandOver& handOver;
    ~Release() { handOver.Finish(); }
  } release{*this};
  const std::size_t length = OutLength();
  dispatch(static_cast<const std::uint8_t*>(buffer_.data()), length);
}

}  // namespace corvane
