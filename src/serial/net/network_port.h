// Opening a port on another machine (port_url.h): the connection, and for RFC 2217 the
// negotiation of the line settings, within a bounded time on the caller's thread. What the
// port's serving thread then needs: the connected descriptor and, for RFC 2217, its codec.
#pragma once
#include <chrono>
#include <memory>
#include <string>

#include "byte_codec.h"
#include "open_failure.h"

namespace corvane {

inline constexpr std::chrono::milliseconds kNetworkOpenLimit{2000};

struct NetworkPort {
  int fd = -1;                       // non-blocking; -1 when the open failed
  std::unique_ptr<ByteCodec> codec;  // null for a raw TCP port
};

// Connects to `url` and, for rfc2217://, negotiates until every setting was acknowledged as
// asked. Failures: not a port URL (not found), host not found, connection refused, timed out
// (kOpenFailed); a setting refused, answered with another value or not answered in time
// (kApplySettingsFailed, settings refused, the detail naming it); the server closing the
// connection (an I/O error, with what it said). Nothing stays open on failure.
NetworkPort OpenNetworkPort(const std::string& url, OpenFailure& failure,
                            std::chrono::milliseconds limit = kNetworkOpenLimit);

// The state of the port behind `url` now, for a listing: reachable (cause kNone), or why not.
// Connects and waits up to `linger` for a server that turns the connection away at once (ser2net
// when its device is in use or cannot be opened), then closes; the server may open its device
// meanwhile.
OpenFailure ProbeNetworkPort(const std::string& url,
                             std::chrono::milliseconds linger = std::chrono::milliseconds(200));

// "RFC 2217" or "raw TCP" for a port URL; empty for anything else.
std::string NetworkPortKind(const std::string& url);

}  // namespace corvane
