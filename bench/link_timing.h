// Timestamps of the serial link's reads and writes during a transfer, with the two window-thread
// points between them, and what they say about the host's turnaround per block.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "timing_probe.h"

namespace corvane::bench {

enum class LinkEventKind : std::uint8_t {
  kRead,      // link thread: a chunk taken from the port
  kDispatch,  // window thread: the chunk reaches the session
  kSend,      // window thread: the session hands bytes to the link
  kWrite,     // link thread: the bytes handed to the driver
};

struct LinkEvent {
  std::int64_t ns = 0;     // steady clock
  std::uint16_t type = 0;  // bytes 0 and 1 of the chunk or write (0 when shorter)
  std::uint16_t length = 0;
  LinkEventKind kind = LinkEventKind::kRead;
};

// Records events from the link thread and the window thread into room reserved up front, each
// in a slot of its own, so that recording takes no lock and allocates nothing; events beyond the
// room are counted, not kept. Events that follow one another (a read, its dispatch, the send,
// the write) get slots in that order. Read the events only once the link's threads have ended.
class LinkRecorder final : public TimingProbe {
 public:
  explicit LinkRecorder(std::size_t capacity);

  void ChunkRead(const std::uint8_t* data, std::size_t length) noexcept override;
  void WriteIssued(const std::uint8_t* data, std::size_t length) noexcept override;
  void Dispatched(const std::uint8_t* data, std::size_t length) noexcept;
  void SendCalled(const std::uint8_t* data, std::size_t length) noexcept;

  std::span<const LinkEvent> Events() const;
  std::size_t Dropped() const { return dropped_.load(); }

 private:
  void Record(LinkEventKind kind, const std::uint8_t* data, std::size_t length) noexcept;

  const std::size_t capacity_;
  std::unique_ptr<LinkEvent[]> events_;
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> dropped_{0};
};

// Durations in nanoseconds, one per BlockRequest answered.
struct LinkTimings {
  // BlockRequest read -> the write that answers it (the next block or the end frame). The next
  // read or write after the request must be that write: a request answered by nothing is skipped.
  std::vector<std::int64_t> turnaround;
  // The same turnaround in three legs, where the dispatch and the send were both recorded:
  std::vector<std::int64_t> toWindow;    // read -> dispatch (hand-over to the window thread)
  std::vector<std::int64_t> windowWork;  // dispatch -> send (the session's handling)
  std::vector<std::int64_t> toPort;      // send -> write (back to the link thread, the write)
  // That write -> the next BlockRequest read: both line crossings and the controller.
  std::vector<std::int64_t> deviceLeg;
  // BlockRequest read -> the next BlockRequest read, one write between: a whole round trip.
  std::vector<std::int64_t> roundTrip;
};

LinkTimings AnalyseLinkEvents(std::span<const LinkEvent> events);

}  // namespace corvane::bench
