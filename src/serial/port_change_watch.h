// Notice of serial ports coming and going, so the port list is enumerated only when it changed.
#pragma once
#include <memory>

namespace corvane {

class PortChangeWatch {
 public:
  virtual ~PortChangeWatch() = default;
  // Readable while notifications are pending.
  virtual int Descriptor() const = 0;
  // Takes every pending notification without waiting; true when any concerned a serial device,
  // or when some were lost (the list must then be read again anyway).
  virtual bool TakeChanges() = 0;
  // "udev" or "kernel", for the trace.
  virtual const char* Source() const = 0;
};

// The best notice this system gives of tty devices added, changed or removed:
// - udev's monitor when the udev daemon runs (its events come after the device node, its
//   permissions and its /dev/serial links are in place);
// - the kernel's own events when no udev daemon runs but /dev is the kernel's devtmpfs and this
//   process is in the initial user namespace (the node exists before the event is sent, and the
//   events reach this namespace);
// - none (null) otherwise: elsewhere than Linux, without libudev, or in a container that sees no
//   device events. The caller then enumerates every time.
std::unique_ptr<PortChangeWatch> OpenPortChangeWatch();

}  // namespace corvane
