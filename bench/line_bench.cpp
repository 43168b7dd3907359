// corvane-line-bench: how close simulated controllers with line time come to the line's limit.
// Starts N controllers at one rate in this process, moves the same number of blocks through each
// from a bare host loop on its own thread, and prints each transfer's wall time against the time
// the bytes need on the wire (64-byte block out, 16-byte request back, 10 bits a byte).
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "frame.h"
#include "latency_stats.h"
#include "pty_floor.h"
#include "option_values.h"
#include "parser.h"
#include "pty_device.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kRequestSize = 16;
constexpr int kAnswerWaitMs = 5000;
constexpr std::uint32_t kFloorRounds = 2000;

struct Options {
  std::uint32_t devices = 16;
  std::uint32_t blocks = 1000;
  std::uint32_t baud = 115200;
};

using Devices = std::vector<std::unique_ptr<corvane::PtyController>>;

struct HostRun {
  bool ok = false;
  double seconds = 0;
  corvane::bench::LatencySummary roundTrip;  // block written -> its request read
  std::string error;
};

const char kUsage[] =
    "Usage: corvane-line-bench [--devices N] [--blocks N] [--baud N]\n"
    "\n"
    "Runs N simulated controllers with line time in this process, each with a bare host loop on\n"
    "its own thread sending blocks and waiting for each request, and prints every transfer's\n"
    "wall time against the line's limit.\n"
    "\n"
    "  --devices N    controllers, 1..64 (default 16)\n"
    "  --blocks N     blocks per transfer, 1..1000000 (default 1000)\n"
    "  --baud N       line rate, 300..4000000 (default 115200)\n"
    "  -h, --help     show this text\n"
    "  -V, --version  show the version\n"
    "\n"
    "Exit status: 0 when every controller received every block intact, 1 otherwise, 64 for a\n"
    "usage error.\n";

corvane::Frame Block(std::uint32_t k) {
  corvane::Frame block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(k * 31 + i * 7);
  block[0] = 0x5A;  // never taken for an end frame
  return block;
}

bool ReadExactly(int fd, std::uint8_t* data, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kAnswerWaitMs) <= 0) return false;
    const ssize_t n = ::read(fd, data + done, length - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Sends `blocks` blocks, each after the request for the one before, as a host does.
void Transfer(int fd, std::uint32_t blocks, HostRun& run) {
  std::uint8_t request[kRequestSize];
  std::vector<std::int64_t> trips;
  trips.reserve(blocks);
  const auto start = Clock::now();
  for (std::uint32_t k = 0; k < blocks; ++k) {
    const auto sent = Clock::now();
    const corvane::Frame block = Block(k);
    if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size()) ||
        !ReadExactly(fd, request, sizeof request)) {
      run.error = "no request after block " + std::to_string(k);
      return;
    }
    trips.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - sent).count());
  }
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.roundTrip = corvane::bench::Summarize(std::move(trips));
  run.ok = true;
}

HostRun RunHost(const std::string& path, std::uint32_t blocks) {
  HostRun run;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    run.error = "cannot open " + path;
    return run;
  }
  termios tty{};
  tcgetattr(fd, &tty);
  cfmakeraw(&tty);
  tcsetattr(fd, TCSANOW, &tty);
  Transfer(fd, blocks, run);
  ::close(fd);
  return run;
}

bool ReceivedIntact(const corvane::SimObservations& seen, std::uint32_t blocks) {
  if (seen.blocks.size() != blocks) return false;
  for (std::uint32_t k = 0; k < blocks; ++k)
    if (seen.blocks[k] != Block(k)) return false;
  return true;
}

// Prints each transfer against the line limit; true when every device got every block intact.
bool Report(const Options& options, const Devices& devices, const std::vector<HostRun>& runs, double floorUs) {
  const double limit = options.blocks * (corvane::kFrameSize + kRequestSize) * 10.0 / options.baud;
  std::printf("%u controllers at %u baud, %u blocks each; line limit %.3f s a transfer (%.1f µs a block)\n",
              options.devices, options.baud, options.blocks, limit, limit / options.blocks * 1e6);
  bool allOk = true;
  std::vector<double> excess;
  for (std::uint32_t i = 0; i < options.devices; ++i) {
    const bool intact = ReceivedIntact(devices[i]->Observe(), options.blocks);
    allOk = allOk && runs[i].ok && intact;
    if (!runs[i].ok) {
      std::printf("  %-12s failed: %s\n", devices[i]->SlavePath().c_str(), runs[i].error.c_str());
      continue;
    }
    excess.push_back((runs[i].seconds / limit - 1.0) * 100.0);
    std::printf("  %-12s %.3f s  %+6.2f %%   block round trip median %7.1f µs, p99 %7.1f µs  %s\n",
                devices[i]->SlavePath().c_str(), runs[i].seconds, excess.back(), runs[i].roundTrip.medianUs, runs[i].roundTrip.p99Us,
                intact ? "received intact" : "NOT RECEIVED INTACT");
  }
  if (!excess.empty()) {
    std::sort(excess.begin(), excess.end());
    std::printf("over the line limit: median %+.2f %%, worst %+.2f %%, best %+.2f %%\n", excess[excess.size() / 2],
                excess.back(), excess.front());
    std::printf("(a bare round trip on a pseudo-terminal alone, %.1f µs, is %.2f %% of a block's line time)\n", floorUs,
                floorUs / (limit / options.blocks * 1e6) * 100.0);
  }
  return allOk;
}

}  // namespace

int main(int argc, char** argv) {
  namespace cl = corvane::command_line;
  Options options;
  cl::Parser parser("corvane-line-bench", kUsage, cl::VersionLine("corvane-line-bench"));
  cl::AddNumber(parser.app(), "--devices", options.devices, 1, 64);
  cl::AddNumber(parser.app(), "--blocks", options.blocks, 1, 1'000'000);
  cl::AddNumber(parser.app(), "--baud", options.baud, 300, 4'000'000);
  const cl::Outcome outcome = parser.Parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (outcome.action != cl::Action::kRun) return cl::Finish(outcome);

  // What the machine's pseudo-terminals cost by themselves, now.
  const corvane::bench::FloorResult floor = corvane::bench::RunPtyFloor(std::min(options.blocks, kFloorRounds));
  if (!floor.ok) {
    std::fprintf(stderr, "corvane-line-bench: floor loop failed: %s\n", floor.error.c_str());
    return 1;
  }

  corvane::SimConfig config;
  config.lineBaud = options.baud;
  Devices devices;
  for (std::uint32_t i = 0; i < options.devices; ++i) {
    devices.push_back(std::make_unique<corvane::PtyController>(config));
    std::string error;
    if (!devices.back()->Start(&error)) {
      std::fprintf(stderr, "corvane-line-bench: %s\n", error.c_str());
      return 1;
    }
  }

  std::vector<HostRun> runs(options.devices);
  std::vector<std::thread> hosts;
  for (std::uint32_t i = 0; i < options.devices; ++i)
    hosts.emplace_back([&, i] { runs[i] = RunHost(devices[i]->SlavePath(), options.blocks); });
  for (auto& host : hosts) host.join();

  return Report(options, devices, runs, corvane::bench::Summarize(floor.roundTrips).medianUs) ? 0 : 1;
}
