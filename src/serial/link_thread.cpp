#include "link_thread.h"

#include "port_session.h"

namespace corvane {

LinkThread::LinkThread(std::string path, PortChannel channel) : path_(std::move(path)), channel_(std::move(channel)) {}

OpenFailure LinkThread::Open() {
  std::future<OpenFailure> result = opened_.get_future();
  start();
  return result.get();
}

void LinkThread::run() {
  PortSession session(channel_);
  OpenFailure failure = session.Open(path_);
  const bool opened = !failure.Failed();
  if (opened) session_ = &session;
  opened_.set_value(std::move(failure));
  if (!opened) return;
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
