// The reader role, on the link thread: every time bytes arrive it takes what is there as one
// chunk of at most kRxBufferSize bytes and has the frame joiner find the frames in it (a chunk
// that is a frame by itself, or frames that came in pieces). For each frame it raises
// FrameReceived and hands the frame over (hand_over.h), waiting for its dispatch before the
// next. Once the hand-over is cancelled it closes the device and takes nothing more.
#pragma once
#include <QObject>
#include <array>
#include <functional>

#include "frame_joiner.h"
#include "join_trace.h"
#include "port_channel.h"

class QIODevice;

namespace corvane {

class ChunkReader : public QObject {
 public:
  // `dispatched` runs on the link thread each time a dispatch has returned: it writes the sends
  // the hand-over holds.
  ChunkReader(QIODevice& device, const PortChannel& channel, std::function<void()> dispatched);

  void TakeChunk();

 private:
  void ScheduleRest();
  void Stop();
  // Hands one frame over; false once the port is closing.
  bool Deliver(const std::uint8_t* frame, std::size_t length);

  QIODevice& device_;
  const PortChannel& channel_;
  std::function<void()> dispatched_;
  bool restScheduled_ = false;
  std::array<std::uint8_t, kRxBufferSize> chunk_{};
  SteadyJoinClock clock_;
  FrameJoinTrace joinTrace_;
  FrameJoiner joiner_;
};

}  // namespace corvane
