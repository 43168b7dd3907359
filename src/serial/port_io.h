// The operating system's side of the serial link, behind one small interface with one
// implementation per OS (posix/, windows/), chosen by CMake.
//
// A PortIoService opens ports with the fixed line settings (115200 baud, 8 data bits, no parity,
// one stop bit, no flow control, DTR and RTS off, exclusive, receive queue cleared) and serves
// every port it opened: it waits for received bytes, reads exactly what is queued and hands each
// read to the port's PortReceiver, and it writes what it is given. POSIX serves all its ports
// from one thread (epoll); Windows gives each port a reader and a writer thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "open_failure.h"

namespace corvane {

// What one open port delivers. Called on the thread that serves the port, one call at a time.
class PortReceiver {
 public:
  virtual ~PortReceiver() = default;
  // One read: the bytes that were queued when the port was served, at most kRxBufferSize of
  // them. Returning false pauses the reading of this port until PortIo::Resume (a frame is out
  // for dispatch, and the next read must wait until that dispatch has returned).
  virtual bool OnBytes(const std::uint8_t* data, std::size_t length) = 0;
  // The port went away (USB adapter pulled, hang-up, I/O error): it is closed already and
  // delivers nothing more. Called at most once, and never after Close.
  virtual void OnVanished(const std::string& cause) = 0;
};

// One open port. Every member may be called from any thread; none waits for the receiver, so a
// dispatch on another thread may close the port while the serving thread is in OnBytes.
class PortIo {
 public:
  virtual ~PortIo() = default;  // closes the port when still open
  // Reading goes on after OnBytes returned false. Does nothing once closed.
  virtual void Resume() = 0;
  // Writes the bytes (copied before return) after any write still in progress, without
  // blocking the caller for long. Does nothing once closed.
  virtual void Write(const std::uint8_t* data, std::size_t length) = 0;
  // Closes the port. Once it returns the receiver is called no more, except for a call that was
  // already running on the serving thread. Twice is the same as once.
  virtual void Close() = 0;
};

class PortIoService {
 public:
  virtual ~PortIoService() = default;
  // The implementation of this OS. Ports opened through one service share its threads.
  static std::shared_ptr<PortIoService> Create();

  // Opens `path` (a device path: "/dev/ttyUSB0"; on Windows the port name, "COM5"; on POSIX also
  // a port URL, "rfc2217://host:4000" or "socket://host:4001", connected and set up within 2 s on
  // the caller's thread) and starts serving it. On failure returns null with `failure` saying why (result and cause); nothing
  // stays open. The service keeps `receiver` alive for as long as it may still call it.
  virtual std::unique_ptr<PortIo> Open(const std::string& path, std::shared_ptr<PortReceiver> receiver,
                                       OpenFailure& failure) = 0;
};

}  // namespace corvane
