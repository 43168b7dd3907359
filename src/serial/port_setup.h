// What the link needs from the operating system beyond QSerialPort: an exclusive lock that also
// holds between processes of the same user (root included), the driver's low-latency mode, a
// read-back of the line settings, and the driver's output queue.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "link.h"
#include "open_failure.h"

namespace corvane {

// Holds an exclusive lock on a port for as long as it lives. The lock is taken on a descriptor
// of its own before the port is opened for use, so a port held by another program is refused
// before anything of it is touched.
class PortLock {
 public:
  PortLock() = default;
  PortLock(const PortLock&) = delete;
  PortLock& operator=(const PortLock&) = delete;
  ~PortLock();

  // False when the path cannot be opened or someone else holds the lock; Failure() then says why.
  bool Acquire(const std::string& path);
  void Release();
  // Why the last Acquire failed: result kOpenFailed with its cause (ClassifyOpenFailure); result
  // kOk after a success.
  const OpenFailure& Failure() const { return failure_; }

 private:
  int fd_ = -1;
  OpenFailure failure_;
};

// Asks the driver to pass received bytes on at once instead of batching them; refusals
// (pseudo-terminals, drivers without the mode) are ignored.
void RequestLowLatency(std::intptr_t handle);

// kOk when the port is at 115200 baud, 8 data bits, no parity, one stop bit and no hardware flow
// control; kReadSettingsFailed when the settings cannot be read, kApplySettingsFailed when they
// are not what was set.
OpenResult CheckLineSettings(std::intptr_t handle);

// Bytes written to the driver and not yet sent on the line (0 when the driver cannot tell).
std::size_t DriverOutputQueued(std::intptr_t handle);

}  // namespace corvane
