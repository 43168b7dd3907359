// One firmware update timed end to end: an instant simulated controller on a pseudo-terminal,
// and on the host the window's own code (SerialLink, Session, QtTimer) in a Qt event loop.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "link_timing.h"

namespace corvane::bench {

struct TransferRunResult {
  bool ok = false;  // the device reported success and received the file intact
  std::string error;
  std::uint32_t blocks = 0;
  double seconds = 0;  // block 0 handed to the link -> the verdict dispatched
  std::uint32_t timer2Expiries = 0;
  std::size_t droppedEvents = 0;  // link events beyond the recorder's room
  LinkTimings timings;
  std::string deviceCheck;  // what the controller received
};

// Connects (CONNECT, then the identification report), presses "update firmware" with a file of
// `blocks` blocks and waits for the verdict. Needs a QCoreApplication on this thread.
TransferRunResult RunTransfer(std::uint32_t blocks);

}  // namespace corvane::bench
