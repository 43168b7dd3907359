// The reader role, on the link thread: every time bytes arrive it takes what is there as one
// chunk of at most kRxBufferSize bytes, judges it with CheckFrame, raises FrameReceived for an
// accepted chunk, has the window thread dispatch it and waits for that before taking the next.
// Once the hand-over is cancelled it closes the device and takes nothing more.
#pragma once
#include <QObject>
#include <functional>
#include <memory>

#include "frame_flag.h"
#include "hand_over.h"

class QIODevice;

namespace corvane {

class ChunkReader : public QObject {
 public:
  // `postDispatch` asks the window thread to dispatch the chunk that is out in `handOver`; it
  // must return without waiting for that.
  ChunkReader(QIODevice& device, std::shared_ptr<HandOver> handOver, std::shared_ptr<FrameFlag> frameReceived,
              std::function<void()> postDispatch, QObject* parent = nullptr);

  void TakeChunk();

 private:
  void ScheduleRest();
  void Stop();

  QIODevice& device_;
  std::shared_ptr<HandOver> handOver_;
  std::shared_ptr<FrameFlag> frameReceived_;
  std::function<void()> postDispatch_;
  bool restScheduled_ = false;
};

}  // namespace corvane
