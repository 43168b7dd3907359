// What can be learnt about a port without opening it: whether it exists and is a character
// device, whether this user may use it, who holds it, whether someone has it locked, and the
// group that grants access to it.
#pragma once
#include <string>

#include "open_failure.h"

namespace corvane {

class HolderWatch;

// The checks before a port is opened for use, in this order: the path exists (not found) and is a
// character device (not a serial device), this user may read and write it (permission denied),
// and no other process has it open (busy, with the holders). A failure comes back with result
// kOpenFailed; when all pass, the result is kOk and the cause kNone, and the lock and open steps
// follow (PortLock, OpenSerialDevice). Without /proc the holder check finds nobody.
OpenFailure CheckPortBeforeOpen(const std::string& path, const std::string& procRoot = "/proc");
// The same with the holders found through `holders`, which walks the process table only when the
// port may have changed hands since its last walk.
OpenFailure CheckPortBeforeOpen(const std::string& path, HolderWatch& holders);

// The port's state now, as CheckPortBeforeOpen sees it plus one more step: a file lock that another
// process holds on the device (from `locksPath`, the kernel's table of locks) makes it "locked".
// The port is never opened, so its modem lines do not move and an attached board is not reset.
OpenFailure ProbePortState(const std::string& path, const std::string& procRoot = "/proc",
                           const std::string& locksPath = "/proc/locks");

// The group through which users get read and write access to the device: the owning group when
// it has both permissions and is not the superuser's group; empty otherwise (a group would not
// help, or the path cannot be examined).
std::string AccessGroup(const std::string& path);

}  // namespace corvane
