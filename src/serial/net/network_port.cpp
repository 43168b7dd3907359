#include "network_port.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "net_connect.h"
#include "port_url.h"
#include "rfc2217_session.h"

namespace corvane {

namespace {

using Clock = std::chrono::steady_clock;

// What a server said before it closed, as one line of printable text.
std::string ClosedBy(const std::vector<std::uint8_t>& said) {
  std::string text;
  for (const std::uint8_t byte : said) {
    if (byte >= 0x20 && byte < 0x7F)
      text += static_cast<char>(byte);
    else if ((byte == '\r' || byte == '\n') && !text.empty() && text.back() != ' ')
      text += ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.empty() ? "the server closed the connection" : "the server closed the connection: " + text;
}

bool SendAll(int fd, const std::vector<std::uint8_t>& bytes, Clock::time_point deadline, OpenFailure& failure) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) {
      failure = ConnectFailure(OpenCause::kIoError, errno);
      return false;
    }
    pollfd wait{fd, POLLOUT, 0};
    if (::poll(&wait, 1, MillisecondsUntil(deadline)) == 0) {
      failure = ConnectFailure(OpenCause::kTimedOut);
      return false;
    }
  }
  return true;
}

OpenFailure Refused(std::string why) {
  OpenFailure failure = SettingsFailure(OpenResult::kApplySettingsFailed);
  failure.detail = std::move(why);
  return failure;
}

// Runs the RFC 2217 negotiation on the connected `fd` until the session is open or refused, or
// `deadline`.
bool Negotiate(int fd, Rfc2217Session& session, Clock::time_point deadline, OpenFailure& failure) {
  std::vector<std::uint8_t> out;
  session.Start(out);
  std::vector<std::uint8_t> said;  // kept for the words of a server that closes
  std::uint8_t buffer[512];
  while (true) {
    if (!out.empty() && !SendAll(fd, out, deadline, failure)) return false;
    out.clear();
    if (session.phase() == Rfc2217Session::Phase::kOpen) return true;
    if (session.phase() == Rfc2217Session::Phase::kRefused) {
      failure = Refused(session.refusal());
      return false;
    }
    Clock::time_point until = deadline;
    if (const auto grace = session.WaitUntil(); grace && *grace < until) until = *grace;
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, MillisecondsUntil(until));
    if (ready < 0 && errno != EINTR) {
      failure = ConnectFailure(OpenCause::kIoError, errno);
      return false;
    }
    const Clock::time_point now = Clock::now();
    if (ready <= 0) {
      session.Advance(now);
      if (session.phase() == Rfc2217Session::Phase::kOpen) return true;
      if (now >= deadline) {
        failure = Refused(session.Unanswered());
        return false;
      }
      continue;
    }
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
      failure = n == 0 ? ConnectFailure(OpenCause::kIoError, 0, ClosedBy(said)) : ConnectFailure(OpenCause::kIoError, errno);
      return false;
    }
    if (n > 0) {
      if (said.size() < 200) said.insert(said.end(), buffer, buffer + n);
      session.Feed(buffer, static_cast<std::size_t>(n), out, now);
    }
  }
}

}  // namespace

NetworkPort OpenNetworkPort(const std::string& url, OpenFailure& failure, std::chrono::milliseconds limit) {
  const auto parsed = ParsePortUrl(url);
  if (!parsed) {
    failure = ConnectFailure(OpenCause::kNotFound, 0, "not a port URL (rfc2217://HOST:PORT or socket://HOST:PORT)");
    return {};
  }
  const Clock::time_point deadline = Clock::now() + limit;
  NetworkPort port;
  port.fd = ConnectTcp(parsed->host, parsed->service, deadline, failure);
  if (port.fd < 0) return {};
  if (parsed->protocol == PortProtocol::kRfc2217) {
    auto session = std::make_unique<Rfc2217Session>();
    if (!Negotiate(port.fd, *session, deadline, failure)) {
      ::close(port.fd);
      return {};
    }
    port.codec = std::move(session);
  }
  failure = {};
  return port;
}

OpenFailure ProbeNetworkPort(const std::string& url, std::chrono::milliseconds linger) {
  const auto parsed = ParsePortUrl(url);
  if (!parsed) return ConnectFailure(OpenCause::kNotFound, 0, "not a port URL");
  OpenFailure failure;
  const Clock::time_point start = Clock::now();
  const int fd = ConnectTcp(parsed->host, parsed->service, start + kNetworkOpenLimit, failure);
  if (fd < 0) return failure;
  const Clock::time_point deadline = Clock::now() + linger;
  std::vector<std::uint8_t> said;
  std::uint8_t buffer[256];
  while (true) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, MillisecondsUntil(deadline)) <= 0) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) {
      failure = ConnectFailure(OpenCause::kIoError, 0, ClosedBy(said));
      break;
    }
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      failure = ConnectFailure(OpenCause::kIoError, errno);
      break;
    }
    if (said.size() < 200) said.insert(said.end(), buffer, buffer + n);
  }
  ::close(fd);
  return failure;
}

std::string NetworkPortKind(const std::string& url) {
  const auto parsed = ParsePortUrl(url);
  if (!parsed) return {};
  return parsed->protocol == PortProtocol::kRfc2217 ? "RFC 2217" : "raw TCP";
}

}  // namespace corvane
