#include "serial_link.h"

#include "frame_trace.h"
#include "join_trace.h"
#include "port_io.h"
#include "port_path.h"
#include "port_reader.h"
#include "trace.h"

namespace corvane {

SerialLink::SerialLink(std::shared_ptr<PortIoService> service, QObject* parent)
    : QObject(parent),
      service_(std::move(service)),
      anchor_(std::make_shared<Anchor>(this)),
      frameReceived_(std::make_shared<FrameFlag>()) {}

SerialLink::SerialLink(QObject* parent) : SerialLink(PortIoService::Create(), parent) {}

SerialLink::~SerialLink() {
  ClosePort();
  std::lock_guard lock(anchor_->mutex);
  anchor_->link = nullptr;  // calls queued before this are dropped with the object
}

bool SerialLink::SetTimingProbe(TimingProbe* probe) {
  if (io_) return false;
  probe_ = probe;
  return true;
}

OpenResult SerialLink::OpenPort(const std::string& name) {
  ClosePort();
  if (!joinTrace_ && FrameTrace().isDebugEnabled()) joinTrace_ = std::make_unique<FrameJoinTrace>();
  PortReader::Hooks hooks;
  // Both run on the serving thread; what they ask for runs on this object's thread, the window
  // thread, and holds the reader until then.
  hooks.post = [anchor = anchor_](std::shared_ptr<PortReader> reader) {
    std::lock_guard lock(anchor->mutex);
    if (SerialLink* link = anchor->link)
      QMetaObject::invokeMethod(link, [link, reader] { link->Dispatch(reader); }, Qt::QueuedConnection);
  };
  hooks.vanished = [anchor = anchor_](std::shared_ptr<PortReader> reader, const std::string& cause) {
    std::lock_guard lock(anchor->mutex);
    if (SerialLink* link = anchor->link)
      QMetaObject::invokeMethod(link, [link, reader, cause] { link->Vanished(reader, cause); }, Qt::QueuedConnection);
  };
  if (FrameTrace().isDebugEnabled())
    hooks.traceRead = [](const std::uint8_t* data, std::size_t length) {
      qCDebug(FrameTrace).noquote() << "in " << QString::fromStdString(FrameTraceText(data, length));
    };
  hooks.probe = probe_;
  hooks.joinTrace = joinTrace_;
  auto reader = std::make_shared<PortReader>(frameReceived_, std::move(hooks));
  lastFailure_ = {};
  io_ = service_->Open(PortPath(name), reader, lastFailure_);
  if (!io_) {
    qCDebug(SerialTrace).noquote() << "open" << QString::fromStdString(name) << "failed:"
                                   << QString::fromStdString(CauseText(lastFailure_));
    return lastFailure_.result == OpenResult::kOk ? OpenResult::kOpenFailed : lastFailure_.result;
  }
  qCDebug(SerialTrace).noquote() << "open" << QString::fromStdString(name);
  name_ = name;
  reader_ = std::move(reader);
  return OpenResult::kOk;
}

void SerialLink::ClosePort() {
  if (!io_) return;
  qCDebug(SerialTrace) << "close";
  reader_->Cancel();
  io_->Close();
  held_.clear();
  heldEnds_.clear();
  io_.reset();
  reader_.reset();
}

void SerialLink::Send(const std::uint8_t* data, std::size_t length) {
  if (!io_ || length == 0) return;
  if (dispatching_) {
    held_.insert(held_.end(), data, data + length);
    heldEnds_.push_back(held_.size());
    return;
  }
  io_->Write(data, length);
  if (probe_) probe_->WriteIssued(data, length);
  if (FrameTrace().isDebugEnabled())
    qCDebug(FrameTrace).noquote() << "out" << QString::fromStdString(FrameTraceText(data, length));
}

void SerialLink::Dispatch(const std::shared_ptr<PortReader>& reader) {
  // Frames handed over before their port was closed (DISCONNECT, or a scan step that gave up on
  // the port) would report a device on a port that is no longer open: the reader drops them.
  dispatching_ = true;
  const bool more = [&] {
    struct Done {  // also when the sink throws
      bool& flag;
      ~Done() { flag = false; }
    } done{dispatching_};
    return reader->Dispatch([this](const std::uint8_t* frame, std::size_t length) {
      if (sink_) sink_->OnFrame(frame, length);
    });
  }();
  std::size_t begin = 0;
  for (const std::size_t end : heldEnds_) {
    Send(held_.data() + begin, end - begin);
    begin = end;
  }
  held_.clear();
  heldEnds_.clear();
  if (more && reader == reader_) io_->Resume();
}

void SerialLink::Vanished(const std::shared_ptr<PortReader>& reader, const std::string& cause) {
  if (reader != reader_) return;  // closed meanwhile
  qCDebug(SerialTrace).noquote() << "port vanished:" << QString::fromStdString(name_) << "("
                                 << QString::fromStdString(cause) << ")";
  if (sink_) sink_->OnPortVanished(cause);
}

}  // namespace corvane
