// The serial link as the logic sees it: one port at a time, bytes out, checked frames in.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "open_failure.h"

namespace corvane {

class Link {
 public:
  virtual ~Link() = default;
  // Opens and configures the named port and starts its link thread; closes any failed attempt.
  virtual OpenResult OpenPort(const std::string& name) = 0;
  // Why the last OpenPort failed (its result, and the cause behind it); nothing failed after a
  // successful open. A link that cannot tell gives no cause.
  virtual OpenFailure LastOpenFailure() const { return {}; }
  // Safe at any time; never waits for the link thread.
  virtual void ClosePort() = 0;
  virtual bool IsOpen() const = 0;
  // Has the link write these bytes (copied before return) after any write still in progress;
  // with none in progress the driver's output queue is cleared first. Sends go out in the order
  // made. Does nothing when no port is open.
  virtual void Send(const std::uint8_t* data, std::size_t length) = 0;
  // FrameReceived: raised on the link thread for every chunk that passes CheckFrame.
  virtual void ClearFrameReceived() = 0;
  // Waits up to `limit` for FrameReceived and returns it.
  virtual bool WaitFrameReceived(std::chrono::milliseconds limit) = 0;
};

// Receives every checked frame on the window thread, in arrival order, while the link waits.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void OnFrame(const std::uint8_t* frame, std::size_t length) = 0;
  // The open port went away (USB adapter pulled, hang-up): it is closed, and the session sees a
  // silent device until the link is closed. `cause` is the system's word for it.
  virtual void OnPortVanished(const std::string& cause) { (void)cause; }
};

// The serial ports present now, in scan order.
class PortLister {
 public:
  virtual ~PortLister() = default;
  virtual std::vector<std::string> ListSerialPorts() = 0;
};

}  // namespace corvane
