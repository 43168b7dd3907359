// The thread of one open port. It opens the port on itself, reports the result, then runs the
// port's events until it is told to shut down; the port is closed before the thread ends.
#pragma once
#include <QByteArray>
#include <QThread>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "frame_flag.h"
#include "hand_over.h"
#include "link.h"

namespace corvane {

class PortSession;

class LinkThread : public QThread {
 public:
  LinkThread(std::string path, std::shared_ptr<HandOver> handOver, std::shared_ptr<FrameFlag> frameReceived,
             std::function<void()> postDispatch);

  // Starts the thread and waits for the result of the open. When it is not kOk the thread is
  // ending by itself.
  OpenResult Open();

  // After a successful Open, until Shutdown: hand work to the port's thread without waiting.
  void Send(QByteArray bytes);
  void Shutdown();

 protected:
  void run() override;

 private:
  const std::string path_;
  std::shared_ptr<HandOver> handOver_;
  std::shared_ptr<FrameFlag> frameReceived_;
  std::function<void()> postDispatch_;
  std::promise<OpenResult> opened_;
  PortSession* session_ = nullptr;  // lives in run(); valid once Open returned kOk
};

}  // namespace corvane
