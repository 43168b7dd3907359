// Opening a serial device on POSIX systems: an exclusive lock that also holds between processes
// of the same user (root included), the fixed line settings, the modem lines, the driver's
// low-latency mode, and what the link needs to know of the device afterwards.
#pragma once
#include <cstddef>
#include <string>

#include "open_failure.h"

namespace corvane {

class HolderWatch;

// Holds a descriptor of the port with an exclusive lock on it for as long as it lives. The lock
// is taken before anything of the port is touched, so a port held by another program is refused
// before its settings or modem lines move.
class PortLock {
 public:
  PortLock() = default;
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  ~PortLock();

  // False when the path cannot be opened or someone else holds the lock; Failure() then says why.
  bool Acquire(const std::string& path);
  void Release();
  // Hands the locked descriptor over (its closing drops the lock); -1 when none is held.
  int Take();
  int Descriptor() const { return fd_; }
  // Why the last Acquire failed: result kOpenFailed with its cause (ClassifyOpenFailure); result
  // kOk after a success.
  const OpenFailure& Failure() const { return failure_; }

 private:
  int fd_ = -1;
  OpenFailure failure_;
};

// Opens `path` for the link: the checks before the open (exists, a character device, this user
// may use it, no other process holds it: `holders` keeps that last check cheap), the locked
// descriptor (non-blocking, no controlling terminal, TIOCEXCL), raw 115200 8N1 with no flow
// control, DTR and RTS off (a device without modem lines, a pseudo-terminal, refuses that: not a
// failure), low latency where the driver has it, the settings read back, and the receive queue
// emptied. Returns the descriptor, or -1 with `failure` saying why and nothing left open.
int OpenSerialDevice(const std::string& path, HolderWatch& holders, OpenFailure& failure);

// kOk when the port is at 115200 baud, 8 data bits, no parity, one stop bit and no flow control;
// kReadSettingsFailed when the settings cannot be read, kApplySettingsFailed when they are not
// what was set.
OpenResult CheckLineSettings(int fd);

// Bytes written to the driver and not yet sent on the line (0 when the driver cannot tell).
std::size_t DriverOutputQueued(int fd);

// True for the slave side of a pseudo-terminal (Linux). Such a port has no transmit queue that
// DriverOutputQueued could count: bytes written are on their way to the other side until a
// kernel worker delivers them, and clearing the output then discards them.
bool IsPseudoTerminal(int fd);

}  // namespace corvane
