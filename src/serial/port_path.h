// Where a port name leads: a name that is a path is opened as given (made absolute), any other
// name is a device under /dev; a port URL stays as it is. On Windows the name goes to the system
// unchanged.
#pragma once
#include <string>
#include <string_view>

namespace corvane {

// A port on another machine ("rfc2217://host:4000", "socket://host:4001"): opened over the
// network, never taken for a path.
inline bool IsPortUrl(std::string_view name) { return name.find("://") != std::string_view::npos; }

std::string PortPath(std::string_view name);

// A port named on the command line as the scan should open it: a path whose last part is a
// symbolic link (a stable /dev/serial/by-id/... name) becomes the device it leads to, so messages,
// the trace and Qt's lock file all use the device's own name. Anything else, and a link that leads
// nowhere, stays as given. (Opening PortPath(name) directly works as well: the system follows
// the link, and the lock and the holder check act on the device itself.)
std::string ResolvePortArgument(std::string_view name);

}  // namespace corvane
