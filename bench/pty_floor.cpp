#include "pty_floor.h"

#include "raw_pty.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace corvane::bench {

namespace {

constexpr std::size_t kRequestSize = 16;
constexpr std::size_t kBlockSize = 64;

using Clock = std::chrono::steady_clock;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Moves exactly `length` bytes with `io` (read or write), retrying after a signal.
template <class Io, class Byte>
bool TransferFull(Io io, int fd, Byte* data, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = io(fd, data + done, length - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (!(n < 0 && errno == EINTR)) {
      return false;
    }
  }
  return true;
}

bool ReadFull(int fd, std::uint8_t* data, std::size_t length) { return TransferFull(::read, fd, data, length); }

bool WriteFull(int fd, const std::uint8_t* data, std::size_t length) {
  return TransferFull(::write, fd, data, length);
}

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

FloorResult RunPtyFloor(std::uint32_t rounds) {
  FloorResult result;
  RawPty pty = OpenRawPty();
  if (!pty.error.empty()) {
    result.error = pty.error;
    return result;
  }
  Fd master(pty.master);
  Fd slave(pty.slave);

  // The host end: answers each request with a block, exactly `rounds` times.
  bool hostOk = true;
  // On failure it closes its end, so that the device end's read fails too instead of waiting.
  std::thread host([&hostOk, &slave, rounds] {
    std::array<std::uint8_t, kRequestSize> request{};
    std::array<std::uint8_t, kBlockSize> block{};
    block[0] = 0x5A;
    for (std::uint32_t r = 0; r < rounds; ++r) {
      if (!ReadFull(slave.get(), request.data(), request.size()) ||
          !WriteFull(slave.get(), block.data(), block.size())) {
        hostOk = false;
        slave.Close();
        return;
      }
    }
  });

  result.roundTrips.reserve(rounds);
  std::array<std::uint8_t, kRequestSize> request{};
  request[0] = 0xDA;
  request[1] = 0x04;
  std::array<std::uint8_t, kBlockSize> block{};
  const auto begin = Clock::now();
  bool deviceOk = true;
  for (std::uint32_t r = 0; r < rounds; ++r) {
    const auto sent = Clock::now();
    if (!WriteFull(master.get(), request.data(), request.size()) ||
        !ReadFull(master.get(), block.data(), block.size())) {
      deviceOk = false;
      break;
    }
    result.roundTrips.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - sent).count());
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  if (!deviceOk) {
    result.error = SystemError("device end");
    master.Close();  // the host end's read then fails with a hang-up
  }
  host.join();
  result.ok = deviceOk && hostOk;
  if (!hostOk && result.error.empty()) result.error = "host end failed";
  return result;
}

}  // namespace corvane::bench
