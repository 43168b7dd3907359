// The host's end of a pseudo-terminal, opened with plain POSIX as a program opens a serial port.
#pragma once
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace corvane::testing {

inline constexpr std::chrono::seconds kDeadline{5};

class HostPort {
 public:
  explicit HostPort(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return;
    termios tty{};
    tcgetattr(fd_, &tty);
    cfmakeraw(&tty);
    tcsetattr(fd_, TCSANOW, &tty);
  }
  ~HostPort() { Close(); }
  bool IsOpen() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  template <typename Container>
  bool Write(const Container& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Collects `count` bytes, or what has come by the deadline.
  std::vector<std::uint8_t> Read(std::size_t count) {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) continue;
      std::uint8_t buffer[256];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // True once the other side has closed: a hang-up, or a read that fails for good.
  bool WaitHangUp() {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (p.revents & (POLLHUP | POLLERR)) return true;
      std::uint8_t byte;
      const ssize_t n = ::read(fd_, &byte, 1);
      if (n == 0 || (n < 0 && errno == EIO)) return true;
    }
    return false;
  }

 private:
  int fd_ = -1;
};

}  // namespace corvane::testing
