// Opening a pseudo-terminal pair for a simulated line: both ends raw (no echo, no line editing).
#pragma once
#include <string>

namespace corvane {

struct RawPty {
  int master = -1;
  int slave = -1;         // opened on `slavePath`, so the line stays up before a host opens it
  std::string slavePath;  // the path a host opens as its serial port
  std::string error;      // empty on success; then both descriptors are open
};

// Both descriptors are blocking and close-on-exec; on failure both are closed and `error` says why.
RawPty OpenRawPty();

}  // namespace corvane
