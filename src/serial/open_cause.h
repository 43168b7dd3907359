// Why a port did not open, from what the system said: errno of open() or flock(), the kind of
// file at the path and the processes that hold it.
#pragma once
#include <string>
#include <vector>

#include "open_failure.h"

namespace corvane {

enum class OpenStep { kOpen, kLock };

// The cause of a failed open() (kOpen) or flock() (kLock) of `path` that set errno `error`, with
// `holders` the processes that have the port open. Result kOpenFailed, cause one of:
// ENOENT/ENOTDIR/ENODEV/ENXIO -> not found; a path that is no character device, ENOTTY, EISDIR ->
// not a serial device; EACCES/EPERM/EROFS -> permission denied; holders or EBUSY -> busy;
// EWOULDBLOCK from flock -> locked; anything else -> I/O error.
OpenFailure ClassifyOpenFailure(const std::string& path, OpenStep step, int error,
                                std::vector<PortHolder> holders = {});

}  // namespace corvane
