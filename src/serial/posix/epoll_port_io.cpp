// PortIoService on POSIX: one thread waits on every port opened through the service with epoll
// and reads each port when it has bytes; writes are made on the caller's thread, non-blocking,
// and only what the driver cannot take at once is finished by the service's thread. A port on
// another machine (rfc2217://, socket://) is a TCP connection served the same way, its bytes
// passed through its codec (Telnet) when it has one.
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "byte_codec.h"
#include "frame.h"
#include "holder_watch.h"
#include "network_port.h"
#include "port_io.h"
#include "port_path.h"
#include "port_setup.h"

namespace corvane {
namespace {

// One open port, shared by its PortIo and the service's thread. `mutex` keeps the descriptor
// from being closed (and its number reused) while the other side is inside a read or write.
struct PosixPort {
  std::mutex mutex;
  int fd = -1;  // -1 once closed
  std::uint64_t id = 0;
  bool pseudoTerminal = false;
  bool network = false;            // a TCP connection
  bool paused = false;             // a read is out for dispatch
  std::vector<std::uint8_t> rest;  // written bytes the driver could not take yet
  std::unique_ptr<ByteCodec> codec;   // null: the bytes go as they are
  std::vector<std::uint8_t> encoded;  // a write after its codec
  std::shared_ptr<PortReceiver> receiver;
};

// What the service's thread and the ports share: the epoll set and the ports by id.
struct Loop {
  int epoll = -1;
  int wake = -1;  // eventfd: ends the thread
  std::atomic<bool> stopping{false};
  std::mutex mutex;
  std::unordered_map<std::uint64_t, std::shared_ptr<PosixPort>> ports;
  std::uint64_t nextId = 1;  // 0 is the wake-up descriptor
  std::vector<std::uint8_t> decoded, reply;  // the serving thread's, for ports with a codec

  // Asks for the port's next event: bytes (unless paused) and room to write (while bytes wait).
  // One event at a time (EPOLLONESHOT), so that a paused port with bytes queued does not wake
  // the thread again and again (nor the far end's half-close of a connection, which the read
  // after the pause meets). Holds port.mutex.
  void Arm(PosixPort& port) const {
    epoll_event event{};
    event.events = EPOLLONESHOT | (port.paused ? 0u : EPOLLIN | EPOLLRDHUP) | (port.rest.empty() ? 0u : EPOLLOUT);
    event.data.u64 = port.id;
    (void)::epoll_ctl(epoll, EPOLL_CTL_MOD, port.fd, &event);
  }

  // Holds port.mutex. The descriptor's pending output is dropped first: a tty's close otherwise
  // waits until it has been sent, which on a stalled line takes up to 30 s.
  void CloseLocked(PosixPort& port) {
    if (port.fd < 0) return;
    (void)::epoll_ctl(epoll, EPOLL_CTL_DEL, port.fd, nullptr);
    if (!port.network) (void)::tcflush(port.fd, TCOFLUSH);
    ::close(port.fd);
    port.fd = -1;
    port.rest.clear();
    std::lock_guard lock(mutex);
    ports.erase(port.id);
  }
};

// A connection whose far end is gone must not raise SIGPIPE: its hang-up comes as an event.
ssize_t WriteOut(const PosixPort& port, const std::uint8_t* data, std::size_t length) {
  return port.network ? ::send(port.fd, data, length, MSG_NOSIGNAL) : ::write(port.fd, data, length);
}

// Writes bytes that are ready for the descriptor (after the codec), after any still waiting.
void WriteRawLocked(Loop& loop, PosixPort& port, const std::uint8_t* data, std::size_t length) {
  if (!port.rest.empty()) {  // a write in progress: after it
    port.rest.insert(port.rest.end(), data, data + length);
    return;
  }
  ssize_t written = WriteOut(port, data, length);
  if (written < 0) written = 0;  // EAGAIN, or a port going away: its hang-up comes as an event
  if (static_cast<std::size_t>(written) < length) {
    port.rest.assign(data + written, data + length);
    loop.Arm(port);
  }
}

void WriteLocked(Loop& loop, PosixPort& port, const std::uint8_t* data, std::size_t length) {
  if (port.fd < 0 || length == 0) return;
  if (port.codec) {
    port.encoded.clear();
    port.codec->Encode(data, length, port.encoded);
    return WriteRawLocked(loop, port, port.encoded.data(), port.encoded.size());
  }
  // Nothing in progress: clear the driver's transmit queue as the sender does before each frame.
  // Not on a pseudo-terminal, where that would discard the last write on its way, nor on a
  // connection (see rfc2217_session.h).
  if (port.rest.empty() && !port.pseudoTerminal && !port.network && DriverOutputQueued(port.fd) == 0)
    (void)::tcflush(port.fd, TCOFLUSH);
  WriteRawLocked(loop, port, data, length);
}

class PosixPortIo : public PortIo {
 public:
  PosixPortIo(std::shared_ptr<Loop> loop, std::shared_ptr<PosixPort> port)
      : loop_(std::move(loop)), port_(std::move(port)) {}
  ~PosixPortIo() override { Close(); }

  void Resume() override {
    std::lock_guard lock(port_->mutex);
    if (port_->fd < 0 || !port_->paused) return;
    port_->paused = false;
    loop_->Arm(*port_);
  }
  void Write(const std::uint8_t* data, std::size_t length) override {
    std::lock_guard lock(port_->mutex);
    WriteLocked(*loop_, *port_, data, length);
  }
  void Close() override {
    std::lock_guard lock(port_->mutex);
    loop_->CloseLocked(*port_);
  }

 private:
  std::shared_ptr<Loop> loop_;
  std::shared_ptr<PosixPort> port_;
};

class EpollPortIoService : public PortIoService {
 public:
  EpollPortIoService() : loop_(std::make_shared<Loop>()) {
    loop_->epoll = ::epoll_create1(EPOLL_CLOEXEC);
    loop_->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = 0;
    (void)::epoll_ctl(loop_->epoll, EPOLL_CTL_ADD, loop_->wake, &event);
    thread_ = std::thread([loop = loop_.get()] { Serve(*loop); });
  }

  ~EpollPortIoService() override {
    loop_->stopping = true;
    const std::uint64_t one = 1;
    (void)!::write(loop_->wake, &one, sizeof one);
    thread_.join();
    std::vector<std::shared_ptr<PosixPort>> open;
    {
      std::lock_guard lock(loop_->mutex);
      for (auto& [id, port] : loop_->ports) open.push_back(port);
    }
    for (const auto& port : open) {
      std::lock_guard lock(port->mutex);
      loop_->CloseLocked(*port);
    }
    ::close(loop_->wake);
    ::close(loop_->epoll);
  }

  std::unique_ptr<PortIo> Open(const std::string& path, std::shared_ptr<PortReceiver> receiver,
                               OpenFailure& failure) override {
    auto port = std::make_shared<PosixPort>();
    if (IsPortUrl(path)) {
      NetworkPort connection = OpenNetworkPort(path, failure);
      if (connection.fd < 0) return nullptr;
      port->fd = connection.fd;
      port->network = true;
      port->codec = std::move(connection.codec);
    } else {
      port->fd = OpenSerialDevice(path, holders_, failure);
      if (port->fd < 0) return nullptr;
      port->pseudoTerminal = IsPseudoTerminal(port->fd);
    }
    const int fd = port->fd;
    port->receiver = std::move(receiver);
    {
      std::lock_guard lock(loop_->mutex);
      port->id = loop_->nextId++;
      loop_->ports.emplace(port->id, port);
    }
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
    event.data.u64 = port->id;
    if (::epoll_ctl(loop_->epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
      failure = OpenFailure{OpenResult::kOpenFailed, OpenCause::kIoError, errno, std::strerror(errno), {}};
      std::lock_guard lock(port->mutex);
      loop_->CloseLocked(*port);
      return nullptr;
    }
    return std::make_unique<PosixPortIo>(loop_, std::move(port));
  }

 private:
  static void Serve(Loop& loop);
  static void ServePort(Loop& loop, PosixPort& port, std::uint32_t events);

  std::shared_ptr<Loop> loop_;
  HolderWatch holders_;
  std::thread thread_;
};

void EpollPortIoService::Serve(Loop& loop) {
  epoll_event events[64];
  while (!loop.stopping) {
    const int count = ::epoll_wait(loop.epoll, events, 64, -1);
    for (int i = 0; i < count && !loop.stopping; ++i) {
      if (events[i].data.u64 == 0) continue;  // the wake-up: the loop condition decides
      std::shared_ptr<PosixPort> port;
      {
        std::lock_guard lock(loop.mutex);
        const auto it = loop.ports.find(events[i].data.u64);
        if (it == loop.ports.end()) continue;  // closed meanwhile
        port = it->second;
      }
      ServePort(loop, *port, events[i].events);
    }
  }
}

// Passes a read through the port's codec: what it answers goes out at once, the line's bytes
// replace the read in `buffer` (never more than were read). Returns their count.
ssize_t DecodeLocked(Loop& loop, PosixPort& port, std::uint8_t* buffer, std::size_t length) {
  loop.decoded.clear();
  loop.reply.clear();
  port.codec->Decode(buffer, length, loop.decoded, loop.reply);
  if (!loop.reply.empty()) WriteRawLocked(loop, port, loop.reply.data(), loop.reply.size());
  const std::size_t count = std::min(loop.decoded.size(), length);
  std::copy_n(loop.decoded.begin(), count, buffer);
  return static_cast<ssize_t>(count);
}

// Reads what is queued (at most one receive buffer; the rest comes with the next event), hands
// it to the receiver outside the lock (its dispatch may close the port), and finishes a write
// that waits for room. A hang-up, an error or the end of the device closes the port once and
// tells the receiver.
void EpollPortIoService::ServePort(Loop& loop, PosixPort& port, std::uint32_t events) {
  std::uint8_t buffer[kRxBufferSize];
  ssize_t length = 0;
  std::string vanished;
  std::shared_ptr<PortReceiver> receiver;
  {
    std::lock_guard lock(port.mutex);
    if (port.fd < 0) return;
    if ((events & EPOLLOUT) && !port.rest.empty()) {
      const ssize_t written = WriteOut(port, port.rest.data(), port.rest.size());
      if (written > 0) port.rest.erase(port.rest.begin(), port.rest.begin() + written);
    }
    if (!port.paused && (events & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP))) {
      length = ::read(port.fd, buffer, sizeof buffer);
      if (length == 0 || (length < 0 && errno != EAGAIN && errno != EINTR))
        vanished = length == 0 ? "hang-up" : std::strerror(errno);
      if (length > 0 && port.codec) length = DecodeLocked(loop, port, buffer, static_cast<std::size_t>(length));
    } else if (events & (EPOLLHUP | EPOLLERR)) {
      vanished = "hang-up";  // while a read is out for dispatch
    }
    if (!vanished.empty() && port.network) vanished = "connection lost: " + vanished;
    if (!vanished.empty()) {
      receiver = port.receiver;
      loop.CloseLocked(port);
    } else if (length <= 0) {
      loop.Arm(port);
    } else {
      receiver = port.receiver;
      port.paused = true;  // until the receiver says otherwise: a Resume may come before it returns
    }
  }
  if (!vanished.empty()) return receiver->OnVanished(vanished);
  if (length <= 0) return;
  const bool more = receiver->OnBytes(buffer, static_cast<std::size_t>(length));
  std::lock_guard lock(port.mutex);
  if (port.fd < 0) return;
  if (more) port.paused = false;
  loop.Arm(port);
}

}  // namespace

std::shared_ptr<PortIoService> PortIoService::Create() { return std::make_shared<EpollPortIoService>(); }

}  // namespace corvane
