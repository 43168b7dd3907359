#include "pty_device.h"

#include "raw_pty.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace corvane {
namespace {

using namespace std::chrono_literals;

// A host writes each frame whole; bytes that wait this long for the rest of their unit are a
// fragment left by a host that gave up.
constexpr auto kFragmentQuiet = 250ms;
// How long a write may wait for room on the line before the frame is given up.
constexpr int kWriteRoomMs = 1000;
// Without notice of opens, how long to wait before looking for a host again after a hang-up.
constexpr auto kHangUpBackoff = 20ms;

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

// Line times are a few milliseconds; the default timer slack of the thread (50 µs) would add a
// percent to each of them.
void TightenTimerSlack() {
#if defined(__linux__)
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
}

// poll() until `deadline` (none: no time limit), to the nanosecond.
int PollUntil(pollfd* fds, nfds_t count, std::optional<LineTime> deadline) {
  if (!deadline) return ppoll(fds, count, nullptr, nullptr);
  const auto left = std::max<LineClockType::duration>(*deadline - LineClockType::now(), {});
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
  return ppoll(fds, count, &timeout, nullptr);
}

void EarlierOf(std::optional<LineTime>& next, LineTime candidate) {
  if (!next || candidate < *next) next = candidate;
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
  slavePath_ = pty.slavePath;
  // The slave was opened only to make the line raw; a real controller holds no host's port.
  ::close(pty.slave);
  if (!SetFlags(master_, true)) return fail(SystemError("fcntl"));
  hostWatch_.Watch(slavePath_);  // without it, hang-ups are followed by a look now and then

  int wake[2];
  if (pipe(wake) != 0) return fail(SystemError("pipe"));
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  if (!SetFlags(wakeRead_, true) || !SetFlags(wakeWrite_, true)) return fail(SystemError("fcntl"));

  stopRequested_ = false;
  vanishRequested_ = false;
  hostAbsent_ = false;
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
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
  hostWatch_.Close();
  pending_.clear();
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

std::vector<LineEvent> PtyController::LineEvents() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lineLog_.Events();
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
    lineLog_.Clear();
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
  pending_.clear();
  hostWatch_.Close();
  hostAbsent_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    controller_.MarkVanished();
  }
  changed_.notify_all();
}

void PtyController::Run() {
  TightenTimerSlack();
  std::uint8_t buffer[kRxBufferSize];
  while (!stopRequested_) {
    if (vanishRequested_.exchange(false) && master_ >= 0) CloseLine();
    const LineTime now = LineClockType::now();
    SendDue(now);
    const std::optional<LineTime> fragmentDue = DropQuietFragment(now);
    if (hostAbsent_ && !hostWatch_.Ok() && now >= absentSince_ + kHangUpBackoff) hostAbsent_ = false;
    // While no host is there the master only reports the hang-up: wait for an open instead.
    const bool watching = hostAbsent_ && hostWatch_.Ok();
    pollfd fds[3] = {{wakeRead_, POLLIN, 0},
                     {hostAbsent_ ? -1 : master_, POLLIN, 0},  // -1 is skipped
                     {watching ? hostWatch_.Fd() : -1, POLLIN, 0}};
    const int n = PollUntil(fds, 3, NextDeadline(fragmentDue));
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) DrainWake();
    if (fds[2].revents & POLLIN) {
      hostWatch_.Drain();
      hostAbsent_ = false;
    }
    if (fds[1].revents != 0) TakeFromLine(fds[1].revents, buffer, sizeof buffer);
  }
}

void PtyController::TakeFromLine(short revents, std::uint8_t* buffer, std::size_t size) {
  if (revents & POLLIN) {
    const LineTime readAt = LineClockType::now();
    const ssize_t got = ::read(master_, buffer, size);
    if (got > 0) {
      Handle(buffer, static_cast<std::size_t>(got), readAt);
      return;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
  }
  // Hang-up or error with nothing to read: no host holds the slave side.
  HostLeft();
}

void PtyController::HostLeft() {
  hostAbsent_ = true;
  absentSince_ = LineClockType::now();
  if (!hostWatch_.Ok()) return;
  hostWatch_.Drain();
  // A host that opened between the hang-up and the drain left no notice behind: look again.
  pollfd fd{master_, POLLIN, 0};
  const int n = poll(&fd, 1, 0);
  if (n == 0 || (n == 1 && !(fd.revents & POLLHUP))) hostAbsent_ = false;
}

void PtyController::Handle(const std::uint8_t* data, std::size_t length, LineTime readAt) {
  SimResponse response;
  std::uint32_t baud;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    response = controller_.Receive(data, length);
    baud = EffectiveBaud(controller_.Config());
    delivery_ = controller_.Config().delivery;
    lineLog_.Add({true, length, readAt});
  }
  changed_.notify_all();
  line_.SetBaud(baud);
  // A write handed over late (this thread woke late) holds the host's next frame back as much.
  // That frame counts from when the host would have had the write on time, so the delays do not
  // add up block after block; but by no more than the line time of the answer's first write, so
  // that no answer reaches the host sooner than the line time of what it answers after that was
  // read.
  const std::size_t firstWrite = response.writes.empty() ? 0 : response.writes.front().bytes.size();
  const auto credit = std::min(lateness_, line_.Duration(firstWrite));
  lateness_ = {};
  lastArrival_ = line_.Receive(length, readAt - credit);
  Queue(std::move(response), lastArrival_);
}

void PtyController::Queue(SimResponse response, LineTime arrived) {
  // Pieces of a write may reach the host after the next write's line time (an adapter's tail
  // timeout or tick): nothing overtakes what is queued before it.
  auto push = [this](Outgoing item) {
    if (!pending_.empty()) item.due = std::max(item.due, pending_.back().due);
    pending_.push_back(std::move(item));
  };
  LineTime ready = arrived;
  for (SimWrite& write : response.writes) {
    const std::size_t size = write.bytes.size();
    ready = line_.Send(size, ready + std::chrono::milliseconds(write.pauseBeforeMs));
    if (delivery_ == Delivery::kWhole) {
      push({ready, std::move(write.bytes)});
      continue;
    }
    // Each piece is a write of its own, at the time the adapter hands it over.
    std::size_t begin = 0;
    for (const DeliveryPiece& piece : DeliveryPieces(delivery_, size, ready - line_.Duration(size), line_.Baud())) {
      push({piece.at, Bytes(write.bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                            write.bytes.begin() + static_cast<std::ptrdiff_t>(piece.end))});
      begin = piece.end;
    }
  }
  if (response.vanish || response.transferEnded) push({ready, {}, response.vanish, response.transferEnded});
}

void PtyController::SendDue(LineTime now) {
  while (!pending_.empty() && pending_.front().due <= now) {
    Outgoing item = std::move(pending_.front());
    pending_.pop_front();
    // With no host on the line the bytes are lost, as on a wire nobody listens to.
    if (!item.bytes.empty() && master_ >= 0 && !hostAbsent_) {
      const LineTime handedAt = LineClockType::now();
      lateness_ = handedAt - item.due;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        lineLog_.Add({false, item.bytes.size(), handedAt});
      }
      WriteAll(item.bytes);
    }
    if (item.vanish) CloseLine();
    if (item.transferEnded && onTransferEnd_) onTransferEnd_(Observe());
  }
}

// Drops input left waiting through the quiet spell. Returns when input now waiting is due to be
// dropped, if any is.
std::optional<LineTime> PtyController::DropQuietFragment(LineTime now) {
  bool partial;
  bool dropped = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    partial = controller_.HasPartialInput();
    if (partial && now >= lastArrival_ + kFragmentQuiet) {
      controller_.DropPartialInput();
      partial = false;
      dropped = true;
    }
  }
  if (dropped) changed_.notify_all();
  if (!partial || master_ < 0) return std::nullopt;
  return lastArrival_ + kFragmentQuiet;
}

std::optional<LineTime> PtyController::NextDeadline(std::optional<LineTime> fragmentDue) const {
  std::optional<LineTime> next = fragmentDue;
  if (!pending_.empty()) EarlierOf(next, pending_.front().due);
  if (hostAbsent_ && !hostWatch_.Ok()) EarlierOf(next, absentSince_ + kHangUpBackoff);
  return next;
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

}  // namespace corvane
