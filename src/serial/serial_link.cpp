#include "serial_link.h"

#include <algorithm>

#include "link_thread.h"
#include "port_channel.h"
#include "port_path.h"
#include "trace.h"

namespace corvane {

SerialLink::SerialLink(QObject* parent) : QObject(parent), frameReceived_(std::make_shared<FrameFlag>()) {}

SerialLink::~SerialLink() {
  ClosePort();
  for (const auto& thread : threads_) thread->wait();
}

bool SerialLink::SetTimingProbe(TimingProbe* probe) {
  if (open_) return false;
  probe_ = probe;
  return true;
}

OpenResult SerialLink::OpenPort(const std::string& name) {
  ClosePort();
  // Threads of closed ports are at most closing them (none waits for a dispatch any more); let
  // them finish, so that a port just closed can be opened again at once.
  for (const auto& ending : threads_) ending->wait();
  auto handOver = std::make_shared<HandOver>();
  // Runs on the link thread; the dispatch runs on this object's thread, the window thread.
  auto postDispatch = [this, handOver] {
    QMetaObject::invokeMethod(this, [this, handOver] { Dispatch(*handOver); }, Qt::QueuedConnection);
  };
  auto thread =
      std::make_unique<LinkThread>(PortPath(name), PortChannel{handOver, frameReceived_, std::move(postDispatch), probe_});
  lastFailure_ = thread->Open();
  if (lastFailure_.Failed()) {
    thread->wait();  // it has nothing left to do but end
    qCDebug(SerialTrace).noquote() << "open" << QString::fromStdString(name) << "failed:"
                                   << QString::fromStdString(CauseText(lastFailure_));
    return lastFailure_.result == OpenResult::kOk ? OpenResult::kOpenFailed : lastFailure_.result;
  }
  qCDebug(SerialTrace).noquote() << "open" << QString::fromStdString(name);
  LinkThread* const raw = thread.get();
  // Each thread is freed by its own Reap, queued once it has finished, and by nothing else while
  // the link lives (OpenPort waits for ending threads but keeps them), so no other thread can
  // have taken the address Reap looks for. Reaps still queued when the link is destroyed are
  // discarded with it.
  connect(raw, &QThread::finished, this, [this, raw] { Reap(raw); }, Qt::QueuedConnection);
  threads_.push_back(std::move(thread));
  open_ = raw;
  handOver_ = std::move(handOver);
  return OpenResult::kOk;
}

void SerialLink::ClosePort() {
  if (!open_) return;
  qCDebug(SerialTrace) << "close";
  handOver_->Cancel();
  open_->Shutdown();
  open_ = nullptr;
  handOver_.reset();
}

void SerialLink::Send(const std::uint8_t* data, std::size_t length) {
  if (!open_ || length == 0) return;
  open_->Send(data, length);
}

void SerialLink::Dispatch(HandOver& handOver) {
  handOver.Dispatch([this, &handOver](const std::uint8_t* frame, std::size_t length) {
    // A chunk handed over before its port was closed (DISCONNECT, or a scan step that gave up
    // on the port) would report a device on a port that is no longer open: drop it.
    if (sink_ && !handOver.Cancelled()) sink_->OnFrame(frame, length);
  });
}

void SerialLink::Reap(LinkThread* thread) {
  const auto it = std::find_if(threads_.begin(), threads_.end(), [thread](const auto& t) { return t.get() == thread; });
  if (it == threads_.end()) return;
  (*it)->wait();  // returns at once: the thread has finished
  threads_.erase(it);
}

}  // namespace corvane
