// The floor to compare the link against: a bare loop on both ends of a pseudo-terminal. One
// thread plays the device (writes a 16-byte request, reads a 64-byte block), another the host
// (reads the request, writes the block), with blocking reads and writes and nothing else.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::bench {

struct FloorResult {
  bool ok = false;
  std::string error;
  std::vector<std::int64_t> roundTrips;  // ns, request written -> whole block read, device side
  double seconds = 0;                    // all round trips
};

FloorResult RunPtyFloor(std::uint32_t rounds);

}  // namespace corvane::bench
