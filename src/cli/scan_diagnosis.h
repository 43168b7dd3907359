// What corvane-flash says about the ports a scan tried: ports named by their device path, and why
// no device answered, with the system's facts (access groups, the ports present) looked up here.
#pragma once
#include <string>
#include <vector>

#include "port_advice.h"

namespace corvane::cli {

// "ttyUSB0" -> "/dev/ttyUSB0"; a path stays as it is (made absolute).
std::string PortShown(const std::string& port);

// "The port /dev/ttyUSB0 went away (hang-up): was the adapter unplugged?"; for a network port,
// that the connection to its server was lost.
std::string PortVanishedText(const std::string& port, const std::string& cause);

// NoDeviceLines over the scan's last attempt on each port. `systemPorts`: the scan went over the
// system's list, so an attempt on a port not in it (the empty edit text of a scan without any
// port, one that went away) does not count.
std::vector<std::string> WhyNoDevice(const std::vector<PortAttempt>& attempts, bool systemPorts);

// For a port whose lines already carry its name: the cause of its last failed open, then the fix
// lines indented by two blanks; none when it opened.
std::vector<std::string> WhyNotOpened(const std::vector<PortAttempt>& attempts);

}  // namespace corvane::cli
