// One open port on the link thread: the QSerialPort with its line settings and lock, the reader
// role (ChunkReader) and the writer role. Created, used and destroyed on the link thread.
#pragma once
#include <QObject>
#include <QSerialPort>
#include <cstddef>
#include <cstdint>
#include <string>

#include "chunk_reader.h"
#include "link.h"
#include "port_channel.h"
#include "port_setup.h"

namespace corvane {

class PortSession : public QObject {
 public:
  explicit PortSession(const PortChannel& channel);
  ~PortSession() override;

  // Opens `path` exclusively at 115200 8N1, no flow control, DTR and RTS off, with the receive
  // queue emptied, and starts reading. Leaves nothing open when it fails.
  // Fails, with its cause, also when another process has the port open (found as fuser finds
  // it) or holds its lock.
  OpenFailure Open(const std::string& path);
  // Writes the sends the hand-over holds, in order; drops them once the port is closed.
  void WriteSends();
  void Close();
  bool IsOpen() const { return port_.isOpen(); }

 private:
  OpenResult Configure();
  // Writes after any write still in progress; with none in progress the driver's output queue
  // is cleared first (not on a pseudo-terminal, where that would cut the last write on its way).
  // Does nothing once the port is closed or the hand-over cancelled.
  void Write(const std::uint8_t* data, std::size_t length);
  bool WriteInProgress() const;
  void OnError(QSerialPort::SerialPortError error);

  const PortChannel& channel_;
  QSerialPort port_;
  ChunkReader reader_;  // reads port_
  PortLock lock_;
  PendingSends sends_;            // taken from the hand-over, kept for their room
  qint64 unconfirmedBytes_ = 0;  // handed to the port, not yet reported written to the driver
  bool pseudoTerminal_ = false;
};

}  // namespace corvane
