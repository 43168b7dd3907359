#include "port_setup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#if defined(__linux__)
#include <linux/serial.h>
#include <sys/sysmacros.h>
#endif

#include "holder_watch.h"
#include "open_cause.h"
#include "port_access.h"
#include "port_holders.h"

namespace corvane {

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

int PortLock::Take() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

namespace {

// Asks the driver to pass received bytes on at once instead of batching them (USB adapters
// otherwise hold them up to 16 ms); refusals (pseudo-terminals, drivers without the mode) are
// not errors.
void RequestLowLatency(int fd) {
#if defined(__linux__)
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY)) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  (void)::ioctl(fd, TIOCSSERIAL, &serial);
#else
  (void)fd;
#endif
}

OpenResult ApplyLineSettings(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return OpenResult::kReadSettingsFailed;
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
#ifdef CRTSCTS
  settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  // No software flow control: XON/XOFF would swallow the bytes 0x11 and 0x13 of binary frames.
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  if (::cfsetispeed(&settings, B115200) != 0 || ::cfsetospeed(&settings, B115200) != 0 ||
      ::tcsetattr(fd, TCSANOW, &settings) != 0)
    return OpenResult::kApplySettingsFailed;
  return CheckLineSettings(fd);
}

}  // namespace

int OpenSerialDevice(const std::string& path, HolderWatch& holders, OpenFailure& failure) {
  failure = CheckPortBeforeOpen(path, holders);
  if (failure.Failed()) return -1;
  PortLock lock;
  holders.ExpectOwnOpen(path);
  if (!lock.Acquire(path)) {
    failure = lock.Failure();
    return -1;
  }
  const int fd = lock.Descriptor();
  (void)::ioctl(fd, TIOCEXCL);  // further opens fail, but for root's
  const OpenResult settings = ApplyLineSettings(fd);
  if (settings != OpenResult::kOk) {
    failure = SettingsFailure(settings);
    return -1;
  }
  const int lines = TIOCM_DTR | TIOCM_RTS;
  (void)::ioctl(fd, TIOCMBIC, &lines);  // a pseudo-terminal has no modem lines
  RequestLowLatency(fd);
  (void)::tcflush(fd, TCIFLUSH);  // bytes sent before the open are not ours
  failure = {};
  return lock.Take();
}

OpenResult CheckLineSettings(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return OpenResult::kReadSettingsFailed;
  const speed_t in = ::cfgetispeed(&settings);
  const bool speedOk = ::cfgetospeed(&settings) == B115200 && (in == B115200 || in == B0);
  const tcflag_t c = settings.c_cflag;
  const bool frameOk = (c & CSIZE) == CS8 && (c & PARENB) == 0 && (c & CSTOPB) == 0;
#ifdef CRTSCTS
  const bool hardwareFlowOff = (c & CRTSCTS) == 0;
#else
  const bool hardwareFlowOff = true;
#endif
  const bool softwareFlowOff = (settings.c_iflag & (IXON | IXOFF)) == 0;
  return speedOk && frameOk && hardwareFlowOff && softwareFlowOff ? OpenResult::kOk : OpenResult::kApplySettingsFailed;
}

std::size_t DriverOutputQueued(int fd) {
  int queued = 0;
  if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<std::size_t>(queued);
}

bool IsPseudoTerminal(int fd) {
#if defined(__linux__)
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) return false;
  const unsigned int kind = major(status.st_rdev);
  return kind >= 136 && kind <= 143;  // the UNIX98 pseudo-terminal slaves (/dev/pts)
#else
  (void)fd;
  return false;
#endif
}

}  // namespace corvane
