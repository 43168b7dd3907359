#include "pty_device.h"

#include "raw_pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace corvane {
namespace {

// A host writes each frame whole; bytes that wait this long for the rest of their unit are a
// fragment left by a host that gave up.
constexpr int kFragmentQuietMs = 250;
// How long a write may wait for room on the line before the frame is given up.
constexpr int kWriteRoomMs = 1000;
// Pause after a hang-up report, so that a line without a reader is not polled in a spin.
constexpr int kHangUpBackoffMs = 20;

bool SetFlags(int fd, bool nonBlocking) {
  const int fdFlags = fcntl(fd, F_GETFD);
  if (fdFlags < 0 || fcntl(fd, F_SETFD, fdFlags | FD_CLOEXEC) < 0) return false;
  if (!nonBlocking) return true;
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) >= 0;
}

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

PtyController::PtyController(const SimConfig& config) : controller_(config) {}

PtyController::~PtyController() { Stop(); }

bool PtyController::Start(std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    CloseAll();
    slavePath_.clear();
    return false;
  };
  if (thread_.joinable()) {
    if (error) *error = "already started";
    return false;
  }

  RawPty pty = OpenRawPty();
  if (!pty.error.empty()) return fail(pty.error);
  master_ = pty.master;
  slaveHold_ = pty.slave;
  slavePath_ = pty.slavePath;
  if (!SetFlags(master_, true) || !SetFlags(slaveHold_, false)) return fail(SystemError("fcntl"));

  int wake[2];
  if (pipe(wake) != 0) return fail(SystemError("pipe"));
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  if (!SetFlags(wakeRead_, true) || !SetFlags(wakeWrite_, true)) return fail(SystemError("fcntl"));

  stopRequested_ = false;
  vanishRequested_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void PtyController::Stop() {
  if (thread_.joinable()) {
    stopRequested_ = true;
    Wake();
    thread_.join();
  }
  CloseAll();
}

void PtyController::CloseAll() {
  CloseFd(master_);
  CloseFd(slaveHold_);
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
}

SimObservations PtyController::Observe() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controller_.Observations();
}

bool PtyController::WaitFor(const std::function<bool(const SimObservations&)>& condition,
                            std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return condition(controller_.Observations()); });
}

void PtyController::SetConfig(const SimConfig& config) {
  std::lock_guard<std::mutex> lock(mutex_);
  controller_.SetConfig(config);
}

SimConfig PtyController::Config() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return controller_.Config();
}

void PtyController::ClearObservations() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    controller_.ClearObservations();
  }
  changed_.notify_all();
}

void PtyController::Vanish() {
  if (!thread_.joinable()) {
    CloseLine();
    return;
  }
  vanishRequested_ = true;
  Wake();
}

void PtyController::Wake() {
  if (wakeWrite_ < 0) return;
  const std::uint8_t byte = 1;
  // A full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &byte, 1);
}

void PtyController::DrainWake() {
  std::uint8_t sink[64];
  while (::read(wakeRead_, sink, sizeof sink) > 0) {
  }
}

void PtyController::CloseLine() {
  CloseFd(master_);
  CloseFd(slaveHold_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    controller_.MarkVanished();
  }
  changed_.notify_all();
}

void PtyController::Run() {
  std::uint8_t buffer[kRxBufferSize];
  while (!stopRequested_) {
    if (vanishRequested_.exchange(false) && master_ >= 0) CloseLine();
    bool partial;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      partial = controller_.HasPartialInput();
    }
    pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {master_, POLLIN, 0}};  // a closed line (-1) is skipped
    const int n = poll(fds, 2, partial && master_ >= 0 ? kFragmentQuietMs : -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) {
      DrainWake();
      continue;
    }
    if (n == 0) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        controller_.DropPartialInput();
      }
      changed_.notify_all();
      continue;
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t got = ::read(master_, buffer, sizeof buffer);
      if (got > 0) {
        Handle(buffer, static_cast<std::size_t>(got));
        continue;
      }
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    }
    // Hang-up or error with nothing to read (no host holds the slave side): wait, don't spin.
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL | POLLIN)) Pause(kHangUpBackoffMs);
  }
}

void PtyController::Handle(const std::uint8_t* data, std::size_t length) {
  SimResponse response;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    response = controller_.Receive(data, length);
  }
  changed_.notify_all();
  for (const SimWrite& write : response.writes) {
    if (write.pauseBeforeMs > 0 && !Pause(write.pauseBeforeMs)) return;
    if (!WriteAll(write.bytes)) break;
  }
  if (response.vanish) CloseLine();
  if (response.transferEnded && onTransferEnd_) onTransferEnd_(Observe());
}

bool PtyController::WriteAll(const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // The line is full: wait for room, a stop or a vanish request.
    pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {master_, POLLOUT, 0}};
    const int ready = poll(fds, 2, kWriteRoomMs);
    if (ready <= 0 || (fds[0].revents & POLLIN) || !(fds[1].revents & POLLOUT)) return false;
  }
  return true;
}

// Waits `ms`; false when a stop or vanish request cut the wait short. The request stays in the
// pipe for the main loop.
bool PtyController::Pause(int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return true;
    pollfd fd{wakeRead_, POLLIN, 0};
    const int n = poll(&fd, 1, static_cast<int>(left));
    if (n > 0) return false;
    if (n < 0 && errno != EINTR) return true;
  }
}

}  // namespace corvane
