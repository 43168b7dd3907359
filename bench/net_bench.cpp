// corvane-net-bench: the block round trip through the program's own port I/O (PortIoService)
// on a local pseudo-terminal and, in the same run, over a real ser2net on loopback in front of
// the same pseudo-terminal, by RFC 2217 and raw TCP. A bare device loop on the pseudo-terminal's
// master side reads each 64-byte block and answers with a 16-byte request; the host writes the
// next block when the whole request is in. Prints the median and p99 of each; not a test.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "latency_stats.h"
#include "port_io.h"
#include "ser2net_rig.h"

using namespace corvane;
using Clock = std::chrono::steady_clock;

namespace {

// The device: 64 bytes in, 16 bytes out, until stopped.
class BareDevice {
 public:
  explicit BareDevice(int master) : master_(master), thread_([this] { Run(); }) {}
  ~BareDevice() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    std::uint8_t buffer[256];
    std::size_t have = 0;
    const std::vector<std::uint8_t> request(16, 0x5A);
    while (!stop_) {
      pollfd wait{master_, POLLIN, 0};
      if (::poll(&wait, 1, 50) <= 0) continue;
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) continue;
      have += static_cast<std::size_t>(n);
      while (have >= 64) {
        have -= 64;
        (void)!::write(master_, request.data(), request.size());
      }
    }
  }
  int master_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class Counter : public PortReceiver {
 public:
  bool OnBytes(const std::uint8_t*, std::size_t length) override {
    std::lock_guard lock(mutex_);
    bytes_ += length;
    changed_.notify_all();
    return true;
  }
  void OnVanished(const std::string&) override {
    std::lock_guard lock(mutex_);
    gone_ = true;
    changed_.notify_all();
  }
  // Waits until `total` bytes came in; false when the port went away or nothing came for 2 s.
  bool WaitFor(std::size_t total) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(2), [&] { return bytes_ >= total || gone_; }) && !gone_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t bytes_ = 0;
  bool gone_ = false;
};

// Round trips on `name`, in ns; empty when the port did not open or stopped answering.
std::vector<std::int64_t> RoundTrips(PortIoService& service, const std::string& name, int rounds) {
  auto counter = std::make_shared<Counter>();
  OpenFailure failure;
  auto port = service.Open(name, counter, failure);
  if (!port) {
    std::fprintf(stderr, "%s: %s\n", name.c_str(), CauseText(failure).c_str());
    return {};
  }
  std::vector<std::uint8_t> block(64);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 37);
  std::vector<std::int64_t> trips;
  trips.reserve(static_cast<std::size_t>(rounds));
  for (int i = 0; i < rounds; ++i) {
    const Clock::time_point start = Clock::now();
    port->Write(block.data(), block.size());
    if (!counter->WaitFor(16 * static_cast<std::size_t>(i + 1))) return {};
    trips.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
  }
  port->Close();
  return trips;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int rounds = 5000;
  if (argc > 2 && std::strcmp(argv[1], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[2]));
  if (testing::Ser2netProgram().isEmpty()) {
    std::fprintf(stderr, "corvane-net-bench: ser2net is not installed (Debian package ser2net)\n");
    return 69;  // EX_UNAVAILABLE
  }
  // One pseudo-terminal for each way in, so no open waits for another's close.
  std::vector<int> masters;
  std::vector<std::string> ptys;
  for (int i = 0; i < 5; ++i) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
      std::perror("corvane-net-bench: pseudo-terminal");
      return 71;
    }
    masters.push_back(master);
    ptys.push_back(::ptsname(master));
  }
  std::vector<std::unique_ptr<BareDevice>> devices;
  for (const int master : masters) devices.push_back(std::make_unique<BareDevice>(master));
  testing::Ser2net server;
  QString error;
  const auto pty = [&ptys](int i) { return QString::fromStdString(ptys[static_cast<std::size_t>(i)]); };
  const QStringList urls = server.Start(
      {{pty(1), true}, {pty(2), false}, {pty(3), true, "115200n81", false}, {pty(4), false, "115200n81", false}}, &error);
  if (urls.isEmpty()) {
    std::fprintf(stderr, "corvane-net-bench: %s\n", qPrintable(error));
    return 71;
  }
  const auto service = PortIoService::Create();
  std::printf("block round trip (64 bytes out, 16 back), %d rounds each, same run:\n", rounds);
  std::printf("%-50s %12s %12s %12s\n", "port", "median", "p99", "max");
  const std::string notes[] = {" (local)", " (ser2net)", " (ser2net)", " (ser2net, chardelay: false)",
                               " (ser2net, chardelay: false)"};
  const std::string names[] = {ptys[0], urls[0].toStdString(), urls[1].toStdString(), urls[2].toStdString(),
                               urls[3].toStdString()};
  for (int i = 0; i < 5; ++i) {
    const std::string& name = names[i];
    const std::vector<std::int64_t> trips = RoundTrips(*service, name, rounds);
    if (trips.empty()) {
      std::fprintf(stderr, "corvane-net-bench: %s stopped answering\n", name.c_str());
      return 1;
    }
    const bench::LatencySummary summary = bench::Summarize(trips);
    std::printf("%-50s %9.1f us %9.1f us %9.1f us\n", (name + notes[i]).c_str(), summary.medianUs, summary.p99Us,
                summary.maxUs);
    std::fflush(stdout);
  }
  devices.clear();
  for (const int master : masters) ::close(master);
  return 0;
}
