#include "termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <stdexcept>

namespace corvane::qt {

namespace {

// The handler only writes a byte; the event loop does the rest (nothing else is safe in it).
int wakeFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(wakeFds[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  if (wakeFds[0] >= 0) throw std::logic_error("termination signals are already being watched");
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeFds) != 0)
    throw std::runtime_error("cannot watch termination signals");
  notifier_ = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(wakeFds[1], bytes, sizeof bytes) > 0) {
    }
    if (onSignal_) onSignal_();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
  for (int s : kSignals) ::signal(s, SIG_DFL);
  delete notifier_;
  ::close(wakeFds[0]);
  ::close(wakeFds[1]);
  wakeFds[0] = wakeFds[1] = -1;
}

}  // namespace corvane::qt
