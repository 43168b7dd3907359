#include "port_reader.h"

namespace corvane {

PortReader::PortReader(std::shared_ptr<FrameFlag> frameReceived, Hooks hooks)
    : frameReceived_(std::move(frameReceived)), hooks_(std::move(hooks)), joiner_(clock_, hooks_.joinTrace.get()) {}

bool PortReader::OnBytes(const std::uint8_t* data, std::size_t length) {
  if (cancelled_) return false;
  if (hooks_.probe) hooks_.probe->ChunkRead(data, length);
  if (hooks_.traceRead) hooks_.traceRead(data, length);
  bool found = false;
  {
    std::lock_guard lock(mutex_);
    joiner_.Take(data, length, [&](const std::uint8_t* frame, std::size_t size) {
      bytes_.insert(bytes_.end(), frame, frame + size);
      ends_.push_back(bytes_.size());
      found = true;
    });
  }
  if (!found) return true;
  frameReceived_->Raise();
  if (cancelled_) return false;
  hooks_.post(shared_from_this());
  return false;
}

void PortReader::OnVanished(const std::string& cause) {
  if (!cancelled_ && hooks_.vanished) hooks_.vanished(shared_from_this(), cause);
}

}  // namespace corvane
