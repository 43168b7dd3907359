// Where a port comes from, as the system tells it: the /dev/serial/by-id link that points at it
// and the USB serial number of its adapter.
#pragma once
#include <string>

#include "device_tap.h"

namespace corvane::cli {

// Empty fields where the system knows nothing (a built-in port, a pseudo-terminal).
PortIdentity LookUpPortIdentity(const std::string& port);

}  // namespace corvane::cli
