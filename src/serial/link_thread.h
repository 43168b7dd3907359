// The thread of one open port. It opens the port on itself, reports the result, then runs the
// port's events until it is told to shut down; the port is closed before the thread ends.
#pragma once
#include <QThread>
#include <cstddef>
#include <cstdint>
#include <future>
#include <string>

#include "link.h"
#include "port_channel.h"

namespace corvane {

class PortSession;

class LinkThread : public QThread {
 public:
  LinkThread(std::string path, PortChannel channel);

  // Starts the thread and waits for the result of the open. When it is not kOk the thread is
  // ending by itself.
  OpenFailure Open();

  // After a successful Open, until Shutdown, on the window thread; neither waits for the port's
  // thread. Send puts a copy of the bytes in the hand-over and wakes the port's thread when the
  // hand-over says so.
  void Send(const std::uint8_t* data, std::size_t length);
  void Shutdown();

 protected:
  void run() override;

 private:
  const std::string path_;
  const PortChannel channel_;
  std::promise<OpenFailure> opened_;
  PortSession* session_ = nullptr;  // lives in run(); valid once Open returned kOk
};

}  // namespace corvane
