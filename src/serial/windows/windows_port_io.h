// The Windows port I/O: one open COM port with a reader and a writer thread of its own.
#pragma once
#include <windows.h>

#include "port_io.h"

namespace corvane {

class WindowsPortIo : public PortIo {
 public:
  // The port's handle while it is open, INVALID_HANDLE_VALUE once closed; for reading back what
  // the port was set to.
  virtual HANDLE NativeHandle() const = 0;
};

// Puts an open port into the fixed line configuration: the driver's DCB with 115200 8N1, binary,
// no hardware or software flow control, DTR and RTS off, zero bytes kept, no abort on line
// errors; then all-zero time-outs. Returns the step that failed, kOk when none did.
OpenResult ConfigurePort(HANDLE port, DWORD& error);

}  // namespace corvane
