// Checks that judge the machine's speed rather than what a device would see (no resend on an
// idle line, a deadline kept) hold only on a machine with time to spare. They run only where
// CORVANE_TIMING_CHECKS is set: the CTest entries labelled "timing" set it, and
// `ctest -LE timing` leaves them out on a loaded or shared machine.
#pragma once
#include <QtGlobal>

namespace corvane::testing {

inline bool TimingChecks() { return qEnvironmentVariableIsSet("CORVANE_TIMING_CHECKS"); }

}  // namespace corvane::testing
