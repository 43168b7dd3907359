// An optional observer of the link's reads and writes, for timing measurements (corvane-bench).
// Given to the link (SerialLink::SetTimingProbe); its calls come from the link's threads.
#pragma once
#include <cstddef>
#include <cstdint>

namespace corvane {

class TimingProbe {
 public:
  virtual ~TimingProbe() = default;
  // A chunk has just been taken from the port.
  virtual void ChunkRead(const std::uint8_t* data, std::size_t length) noexcept = 0;
  // Bytes have just been handed to the driver (or queued behind a write in progress).
  virtual void WriteIssued(const std::uint8_t* data, std::size_t length) noexcept = 0;
};

}  // namespace corvane
