// A millisecond timer owned by the window thread (Timer1 scan, Timer2 response).
#pragma once
#include <cstdint>

namespace corvane {

class Timer {
 public:
  virtual ~Timer() = default;
  // Stops, sets the interval and starts afresh. An interval of 0 never fires: the timer stays stopped.
  virtual void Start(std::uint32_t intervalMs) = 0;
  virtual void Stop() = 0;
  virtual bool IsActive() const = 0;
  virtual std::uint32_t Interval() const = 0;
};

}  // namespace corvane
