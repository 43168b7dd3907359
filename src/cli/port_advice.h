// What corvane-flash says on standard error about ports that did not open, with the fix where
// there is one, and why no device was found. Pure functions over what the caller gathered.
#pragma once
#include <string>
#include <vector>

#include "open_failure.h"

namespace corvane::cli {

// One port as the scan last found it: opened (failure.Failed() false) and silent, or not opened.
struct PortAttempt {
  std::string port;
  OpenFailure failure;
  std::string accessGroup;  // the group that grants access to the device (AccessGroup), if any
};

// How to get past the failure, one line each; none when there is no fix to offer.
// permission denied -> the group and the command that adds the user to it, and that a new login
// is needed (or a udev rule when no group would help); busy -> close the holder; locked -> close
// the program holding the lock; not found -> the ports that do exist (`presentPorts`).
std::vector<std::string> FixLines(const PortAttempt& attempt, const std::vector<std::string>& presentPorts);

// "<port>: <cause>", then its fix lines indented by two blanks.
std::vector<std::string> PortFailureLines(const PortAttempt& attempt, const std::vector<std::string>& presentPorts);

// Why no device answered, distinguishing three cases:
// - no serial ports at all (`attempts` empty);
// - ports, but none could be opened: each port with its cause and fix;
// - ports opened, nobody answered: the silent ports, then any that did not open, with causes.
// `presentPorts` is the system's port list, for the fix of a port that was not found.
std::vector<std::string> NoDeviceLines(const std::vector<PortAttempt>& attempts,
                                       const std::vector<std::string>& presentPorts);

}  // namespace corvane::cli
