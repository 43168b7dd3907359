#include "link_thread.h"

#include "port_session.h"

namespace corvane {

LinkThread::LinkThread(std::string path, std::shared_ptr<HandOver> handOver, std::shared_ptr<FrameFlag> frameReceived,
                       std::function<void()> postDispatch)
    : path_(std::move(path)),
      handOver_(std::move(handOver)),
      frameReceived_(std::move(frameReceived)),
      postDispatch_(std::move(postDispatch)) {}

OpenResult LinkThread::Open() {
  std::future<OpenResult> result = opened_.get_future();
  start();
  return result.get();
}

void LinkThread::run() {
  PortSession session(handOver_, frameReceived_, postDispatch_);
  const OpenResult result = session.Open(path_);
  if (result == OpenResult::kOk) session_ = &session;
  opened_.set_value(result);
  if (result != OpenResult::kOk) return;
  exec();
}

void LinkThread::Send(QByteArray bytes) {
  PortSession* const session = session_;
  QMetaObject::invokeMethod(
      session, [session, bytes = std::move(bytes)] { session->Write(bytes); }, Qt::QueuedConnection);
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
