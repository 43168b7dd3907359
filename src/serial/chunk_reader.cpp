#include "chunk_reader.h"

#include <QIODevice>

#include "timing_probe.h"

namespace corvane {

ChunkReader::ChunkReader(QIODevice& device, std::shared_ptr<HandOver> handOver,
                         std::shared_ptr<FrameFlag> frameReceived, std::function<void()> postDispatch,
                         QObject* parent)
    : QObject(parent),
      device_(device),
      handOver_(std::move(handOver)),
      frameReceived_(std::move(frameReceived)),
      postDispatch_(std::move(postDispatch)) {
  connect(&device_, &QIODevice::readyRead, this, &ChunkReader::TakeChunk);
}

void ChunkReader::TakeChunk() {
  if (handOver_->Cancelled()) return Stop();
  std::uint8_t* const chunk = handOver_->Buffer();
  const qint64 length = device_.read(reinterpret_cast<char*>(chunk), static_cast<qint64>(kRxBufferSize));
  if (TimingProbe* probe = CurrentTimingProbe(); probe && length > 0)
    probe->ChunkRead(chunk, static_cast<std::size_t>(length));
  if (length > 0 && CheckFrame(chunk, static_cast<std::uint16_t>(length))) {
    frameReceived_->Raise();
    if (!handOver_->Offer(static_cast<std::size_t>(length))) return Stop();
    postDispatch_();
    if (!handOver_->AwaitDispatch()) return Stop();
  }
  ScheduleRest();
}

// The port is being closed: close the device at once, so that not even the device's own buffer
// takes in more bytes.
void ChunkReader::Stop() {
  if (device_.isOpen()) device_.close();
}

// Bytes beyond one chunk stay with the device, which will not announce them again; take them
// from the event loop, so that sends queued by the dispatch go out first.
void ChunkReader::ScheduleRest() {
  if (restScheduled_ || device_.bytesAvailable() <= 0) return;
  restScheduled_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        restScheduled_ = false;
        TakeChunk();
      },
      Qt::QueuedConnection);
}

}  // namespace corvane
