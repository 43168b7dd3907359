// A window-thread millisecond timer (Timer1, Timer2, Timer3) over QTimer.
#pragma once
#include <QTimer>

#include "timer.h"

namespace corvane::qt {

class QtTimer : public Timer {
 public:
  explicit QtTimer(const QString& name);

  // Stops, takes the interval and starts afresh; an interval of 0 leaves the timer stopped,
  // since a 0 ms QTimer would fire on every pass of the event loop.
  void Start(std::uint32_t intervalMs) override;
  void Stop() override;
  bool IsActive() const override;
  std::uint32_t Interval() const override;

  // For connecting its timeout() signal.
  QTimer& Qt() { return timer_; }

 private:
  QTimer timer_;
  std::uint32_t interval_ = 0;
};

}  // namespace corvane::qt
