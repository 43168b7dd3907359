#include "chunk_reader.h"

#include "frame_trace.h"
#include "trace.h"

#include <QIODevice>
#include <cstring>

namespace corvane {

ChunkReader::ChunkReader(QIODevice& device, const PortChannel& channel, std::function<void()> dispatched)
    : device_(device),
      channel_(channel),
      dispatched_(std::move(dispatched)),
      joiner_(clock_, FrameTrace().isDebugEnabled() ? &joinTrace_ : nullptr) {
  connect(&device_, &QIODevice::readyRead, this, &ChunkReader::TakeChunk);
}

void ChunkReader::TakeChunk() {
  if (!device_.isOpen()) return;  // closed after an error, with the rest of a burst scheduled
  HandOver& handOver = *channel_.handOver;
  if (handOver.Cancelled()) return Stop();
  std::uint8_t* const chunk = chunk_.data();
  const qint64 length = device_.read(reinterpret_cast<char*>(chunk), static_cast<qint64>(kRxBufferSize));
  if (channel_.probe && length > 0) channel_.probe->ChunkRead(chunk, static_cast<std::size_t>(length));
  if (length > 0 && FrameTrace().isDebugEnabled())
    qCDebug(FrameTrace).noquote() << "in " << QString::fromStdString(FrameTraceText(chunk, static_cast<std::size_t>(length)));
  if (length <= 0) return ScheduleRest();
  bool closing = false;
  joiner_.Take(chunk, static_cast<std::size_t>(length), [&](const std::uint8_t* frame, std::size_t size) {
    if (!closing) closing = !Deliver(frame, size);
  });
  if (closing) return Stop();
  ScheduleRest();
}

bool ChunkReader::Deliver(const std::uint8_t* frame, std::size_t length) {
  HandOver& handOver = *channel_.handOver;
  channel_.frameReceived->Raise();
  std::memcpy(handOver.Buffer(), frame, length);  // no chunk is out: the buffer is the reader's
  if (!handOver.Offer(length)) return false;
  channel_.postDispatch();
  if (!handOver.AwaitDispatch()) return false;
  dispatched_();
  return true;
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
