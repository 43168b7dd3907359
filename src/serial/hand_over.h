// The hand-over between the link thread of one open port and the window thread: checked chunks
// go to the window thread, sends come back.
//
// Chunks: the link thread fills the buffer, puts the chunk out (Offer), has the window thread
// dispatch it and waits (AwaitDispatch) until that dispatch has returned, so chunks are
// dispatched one at a time and in arrival order.
//
// Sends: the window thread puts each send here (PutSend), in the order it makes them. While a
// chunk is out the link thread is about to wake from AwaitDispatch and takes the sends at once
// (TakeSends), so a reply made during a dispatch is written the moment the dispatch returns.
// Otherwise PutSend tells its caller to wake the link thread, which then takes them from its
// event loop. Either way every send is taken, in order, exactly once.
//
// Closing the port cancels the hand-over (Cancel): the link thread stops waiting at once, takes
// no further chunk and writes no send still here. A chunk already out still comes to Dispatch
// on the window thread, which can tell from Cancelled() that its port has gone. Both threads own
// the hand-over (a shared_ptr), since either may finish with it first.
#pragma once
#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "frame.h"

namespace corvane {

// Sends waiting for the link thread: their bytes back to back and where each one ends.
struct PendingSends {
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> ends;

  template <class F>
  void ForEach(F&& send) const;
};

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
  // Link thread: moves the sends waiting into `sends` (whose old content is dropped).
  void TakeSends(PendingSends& sends);

  // Window thread: runs `dispatch(bytes, length)` on the chunk that is out, then lets the link
  // thread go on, also when `dispatch` throws.
  template <class F>
  void Dispatch(F&& dispatch);
  // Window thread: keeps a copy of one send for the link thread. True when the caller must wake
  // the link thread to take it; false when the link thread takes it by itself, or the hand-over
  // is cancelled (then it is dropped).
  bool PutSend(const std::uint8_t* data, std::size_t length);
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
  PendingSends sends_;
  std::array<std::uint8_t, kRxBufferSize> buffer_{};
};

template <class F>
void PendingSends::ForEach(F&& send) const {
  std::size_t begin = 0;
  for (const std::size_t end : ends) {
    send(bytes.data() + begin, end - begin);
    begin = end;
  }
}

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
