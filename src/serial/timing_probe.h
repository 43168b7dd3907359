// An optional observer of the link's reads and writes, for timing measurements (corvane-bench).
// Process-wide and a no-op unless set. Its calls come from the link thread, so set it before a
// port is opened and clear it only after the link's threads have ended.
#pragma once
#include <atomic>
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

inline std::atomic<TimingProbe*> gTimingProbe{nullptr};

inline void SetTimingProbe(TimingProbe* probe) { gTimingProbe.store(probe, std::memory_order_release); }
inline TimingProbe* CurrentTimingProbe() { return gTimingProbe.load(std::memory_order_acquire); }

}  // namespace corvane
