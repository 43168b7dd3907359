// A TCP connection to a port on another machine, made within a deadline.
#pragma once
#include <chrono>
#include <string>

#include "open_failure.h"

namespace corvane {

// Connects to `host` (a name or an address) at `service` (a port number), trying each address
// the name has in turn, until `deadline`. Returns a non-blocking descriptor with Nagle's delay
// off (a frame goes out at once), or -1 with `failure` saying why: host not found, connection
// refused, timed out, or an I/O error with the system's words. The name lookup itself is the
// system resolver's and is not bounded by the deadline (a name from /etc/hosts or an address
// takes no time).
int ConnectTcp(const std::string& host, const std::string& service, std::chrono::steady_clock::time_point deadline,
               OpenFailure& failure);

// A failure of the connection kind, result kOpenFailed.
OpenFailure ConnectFailure(OpenCause cause, int error = 0, std::string detail = {});

// Milliseconds left until `deadline` for poll(): 0 once it has passed, rounded up otherwise.
int MillisecondsUntil(std::chrono::steady_clock::time_point deadline);

}  // namespace corvane
