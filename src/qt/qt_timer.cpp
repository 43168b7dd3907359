#include "qt_timer.h"

#include "trace.h"

#include <limits>

namespace corvane::qt {

QtTimer::QtTimer(const QString& name) {
  timer_.setObjectName(name);
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setSingleShot(false);
}

void QtTimer::Start(std::uint32_t intervalMs) {
  timer_.stop();
  interval_ = intervalMs;
  qCDebug(ScanTrace).noquote() << timer_.objectName() << "start" << intervalMs << "ms";
  if (intervalMs == 0) return;
  constexpr auto kLongest = static_cast<std::uint32_t>(std::numeric_limits<int>::max());
  timer_.start(static_cast<int>(intervalMs < kLongest ? intervalMs : kLongest));
}

void QtTimer::Stop() {
  if (timer_.isActive()) qCDebug(ScanTrace).noquote() << timer_.objectName() << "stop";
  timer_.stop();
}

bool QtTimer::IsActive() const { return timer_.isActive(); }

std::uint32_t QtTimer::Interval() const { return interval_; }

}  // namespace corvane::qt
