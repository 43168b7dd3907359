#include "pty.h"

#include "raw_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace corvane::testing {

Pty::Pty() {
  RawPty pty = OpenRawPty();
  if (!pty.error.empty()) return;
  master_ = pty.master;
  slave_ = pty.slave;
  slavePath_ = pty.slavePath;
  ::fcntl(slave_, F_SETFL, ::fcntl(slave_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
  if (slave_ >= 0) ::close(slave_);
  CloseMaster();
}

void Pty::Write(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

std::vector<std::uint8_t> Pty::Read(std::size_t count, int timeoutMs) {
  std::vector<std::uint8_t> got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (got.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    std::uint8_t buffer[4096];
    const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
    if (n <= 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

void Pty::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

std::size_t Pty::QueuedAtSlave() const {
  pollfd p{slave_, POLLIN, 0};
  ::poll(&p, 1, 0);
  int queued = 0;
  ::ioctl(slave_, FIONREAD, &queued);
  return queued > 0 ? static_cast<std::size_t>(queued) : 0;
}

bool Pty::WaitQueuedAtSlave(int timeoutMs) const {
  pollfd p{slave_, POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & POLLIN);
}

}  // namespace corvane::testing
