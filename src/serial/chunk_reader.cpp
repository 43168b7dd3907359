#include "chunk_reader.h"

#include "frame_trace.h"
#include "trace.h"

#include <QIODevice>

namespace corvane {

ChunkReader::ChunkReader(QIODevice& device, const PortChannel& channel, std::function<void()> dispatched)
    : device_(device), channel_(channel), dispatched_(std::move(dispatched)) {
  connect(&device_, &QIODevice::readyRead, this, &ChunkReader::TakeChunk);
}

void ChunkReader::TakeChunk() {
  if (!device_.isOpen()) return;  // closed after an error, with the rest of a burst scheduled
  HandOver& handOver = *channel_.handOver;
  if (handOver.Cancelled()) return Stop();
  std::uint8_t* const chunk = handOver.Buffer();
  const qint64 length = device_.read(reinterpret_cast<char*>(chunk), static_cast<qint64>(kRxBufferSize));
  if (channel_.probe && length > 0) channel_.probe->ChunkRead(chunk, static_cast<std::size_t>(length));
  if (length > 0 && FrameTrace().isDebugEnabled())
    qCDebug(FrameTrace).noquote() << "in " << QString::fromStdString(FrameTraceText(chunk, static_cast<std::size_t>(length)));
  if (length > 0 && CheckFrame(chunk, static_cast<std::uint16_t>(length))) {
    channel_.frameReceived->Raise();
    if (!handOver.Offer(static_cast<std::size_t>(length))) return Stop();
    channel_.postDispatch();
    if (!handOver.AwaitDispatch()) return Stop();
    dispatched_();
  }
  ScheduleRest();
}

// The port is being closed: close the device at once, so that not even the device's own buffer
// takes in more bytes.
void ChunkReader::Stop() {
  if (device_.isOpen()) device_.close();
}

// Bytes beyond one chunk stay with the device, which will not announce them again. Take them
// from the event loop, so that a long burst does not hold up a close or sends waiting there.
void ChunkReader::ScheduleRest() {
  if (restScheduled_ || !device_.isOpen() || device_.bytesAvailable() <= 0) return;
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
