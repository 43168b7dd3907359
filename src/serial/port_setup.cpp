#include "port_setup.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif
#if defined(__linux__)
#include <linux/serial.h>
#endif

#include "open_cause.h"
#include "port_holders.h"

namespace corvane {

#if defined(__unix__) || defined(__APPLE__)

PortLock::~PortLock() { Release(); }

bool PortLock::Acquire(const std::string& path) {
  Release();
  failure_ = {};
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    failure_ = ClassifyOpenFailure(path, OpenStep::kOpen, error,
                                   error == EBUSY ? FindPortHolders(path).holders : std::vector<PortHolder>{});
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    failure_ = ClassifyOpenFailure(path, OpenStep::kLock, error, FindPortHolders(path).holders);
    return false;
  }
  fd_ = fd;
  return true;
}

void PortLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // also drops the lock
  fd_ = -1;
}

void RequestLowLatency(std::intptr_t handle) {
#if defined(__linux__)
  const int fd = static_cast<int>(handle);
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  if (serial.flags & ASYNC_LOW_LATENCY) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
#else
  (void)handle;
#endif
}

OpenResult CheckLineSettings(std::intptr_t handle) {
  termios settings{};
  if (::tcgetattr(static_cast<int>(handle), &settings) != 0) return OpenResult::kReadSettingsFailed;
  const speed_t in = ::cfgetispeed(&settings);
  const bool speedOk = ::cfgetospeed(&settings) == B115200 && (in == B115200 || in == B0);
  const tcflag_t c = settings.c_cflag;
  const bool frameOk = (c & CSIZE) == CS8 && (c & PARENB) == 0 && (c & CSTOPB) == 0;
#ifdef CRTSCTS
  const bool flowOk = (c & CRTSCTS) == 0;
#else
  const bool flowOk = true;
#endif
  return speedOk && frameOk && flowOk ? OpenResult::kOk : OpenResult::kApplySettingsFailed;
}

std::size_t DriverOutputQueued(std::intptr_t handle) {
  int queued = 0;
  if (::ioctl(static_cast<int>(handle), TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<std::size_t>(queued);
}

#else  // Windows: QSerialPort opens ports exclusively and applies the settings itself.

PortLock::~PortLock() = default;
bool PortLock::Acquire(const std::string&) { return true; }
void PortLock::Release() {}
void RequestLowLatency(std::intptr_t) {}
OpenResult CheckLineSettings(std::intptr_t) { return OpenResult::kOk; }
std::size_t DriverOutputQueued(std::intptr_t) { return 0; }

#endif

}  // namespace corvane
