// One open port on the link thread: the QSerialPort with its line settings and lock, the reader
// role (ChunkReader) and the writer role. Created, used and destroyed on the link thread.
#pragma once
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <functional>
#include <memory>
#include <string>

#include "frame_flag.h"
#include "hand_over.h"
#include "link.h"
#include "port_setup.h"

namespace corvane {

class ChunkReader;

class PortSession : public QObject {
 public:
  PortSession(std::shared_ptr<HandOver> handOver, std::shared_ptr<FrameFlag> frameReceived,
              std::function<void()> postDispatch);
  ~PortSession() override;

  // Opens `path` exclusively at 115200 8N1, no flow control, DTR and RTS off, with the receive
  // queue emptied, and starts reading. Leaves nothing open when it fails.
  OpenResult Open(const std::string& path);
  // Writes `bytes` after any write still in progress; with none in progress the driver's output
  // queue is cleared first. Does nothing once the port is closed.
  void Write(const QByteArray& bytes);
  void Close();
  bool IsOpen() const { return port_.isOpen(); }

 private:
  OpenResult Configure();
  bool WriteInProgress() const;
  void OnError(QSerialPort::SerialPortError error);

  std::shared_ptr<HandOver> handOver_;
  std::shared_ptr<FrameFlag> frameReceived_;
  std::function<void()> postDispatch_;
  QSerialPort port_;
  PortLock lock_;
  ChunkReader* reader_ = nullptr;  // child
  qint64 unconfirmedBytes_ = 0;     // handed to the port, not yet reported written to the driver
};

}  // namespace corvane
