#include "link_thread.h"

#include "port_session.h"

namespace corvane {

LinkThread::LinkThread(std::string path, PortChannel channel) : path_(std::move(path)), channel_(std::move(channel)) {}

OpenResult LinkThread::Open() {
  std::future<OpenResult> result = opened_.get_future();
  start();
  return result.get();
}

void LinkThread::run() {
  PortSession session(channel_);
  const OpenResult result = session.Open(path_);
  if (result == OpenResult::kOk) session_ = &session;
  opened_.set_value(result);
  if (result != OpenResult::kOk) return;
  exec();
}

void LinkThread::Send(const std::uint8_t* data, std::size_t length) {
  if (!channel_.handOver->PutSend(data, length)) return;
  PortSession* const session = session_;
  QMetaObject::invokeMethod(session, [session] { session->WriteSends(); }, Qt::QueuedConnection);
}

void LinkThread::Shutdown() {
  PortSession* const session = session_;
  QMetaObject::invokeMethod(
      session,
      [session] {
        session->Close();
        QThread::currentThread()->quit();
      },
      Qt::QueuedConnection);
}

}  // namespace corvane
