#include "net_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace corvane {

OpenFailure ConnectFailure(OpenCause cause, int error, std::string detail) {
  if (detail.empty() && error != 0) detail = std::strerror(error);
  return OpenFailure{OpenResult::kOpenFailed, cause, error, std::move(detail), {}};
}

int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  if (left <= std::chrono::steady_clock::duration::zero()) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

namespace {

OpenFailure FromError(int error) {
  if (error == ECONNREFUSED) return ConnectFailure(OpenCause::kConnectionRefused, error);
  if (error == ETIMEDOUT) return ConnectFailure(OpenCause::kTimedOut, error);
  return ConnectFailure(OpenCause::kIoError, error);
}

// One address: the descriptor once connected, or -1 with `failure` set.
int ConnectOne(const addrinfo& address, std::chrono::steady_clock::time_point deadline, OpenFailure& failure) {
  const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
  if (fd < 0) {
    failure = FromError(errno);
    return -1;
  }
  int error = 0;
  if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd wait{fd, POLLOUT, 0};
      int ready = 0;
      do {
        ready = ::poll(&wait, 1, MillisecondsUntil(deadline));
      } while (ready < 0 && errno == EINTR);
      if (ready == 0) {
        ::close(fd);
        failure = ConnectFailure(OpenCause::kTimedOut);
        return -1;
      }
      socklen_t size = sizeof error;
      if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    }
  }
  if (error != 0) {
    ::close(fd);
    failure = FromError(error);
    return -1;
  }
  const int on = 1;
  (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  failure = {};
  return fd;
}

}  // namespace

int ConnectTcp(const std::string& host, const std::string& service, std::chrono::steady_clock::time_point deadline,
               OpenFailure& failure) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int lookup = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (lookup != 0) {
    if (lookup == EAI_SYSTEM) {
      failure = ConnectFailure(OpenCause::kIoError, errno);
    } else {
      failure = ConnectFailure(OpenCause::kHostNotFound, 0, ::gai_strerror(lookup));
    }
    return -1;
  }
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
  failure = ConnectFailure(OpenCause::kHostNotFound);
  for (const addrinfo* address = found; address; address = address->ai_next) {
    const int fd = ConnectOne(*address, deadline, failure);
    if (fd >= 0) return fd;
    if (failure.cause == OpenCause::kTimedOut) break;  // the deadline is spent
  }
  return -1;
}

}  // namespace corvane
