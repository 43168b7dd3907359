// The reader role, on the link thread: every time bytes arrive it takes what is there as one
// chunk of at most kRxBufferSize bytes, judges it with CheckFrame, raises FrameReceived for an
// accepted chunk and hands it over (hand_over.h) before taking the next. Once the hand-over is
// cancelled it closes the device and takes nothing more.
#pragma once
#include <QObject>
#include <functional>

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

  QIODevice& device_;
  const PortChannel& channel_;
  std::function<void()> dispatched_;
  bool restScheduled_ = false;
};

}  // namespace corvane
