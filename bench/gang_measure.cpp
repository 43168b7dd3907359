#include "gang_measure.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "child_process.h"

namespace corvane::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Bytes on the line: the identification request and reply, a block and the controller's short
// answer to it (a block request, in the end the verdict).
constexpr double kIdentifyBytes = 12 + 64;
constexpr double kBlockBytes = 64 + 16;
// The controllers ask for each block with this interval. Its low byte is 0, so Timer2 waits the
// whole 3.84 s: sixteen controllers answering at once keep both cores busy, and on a machine
// shared with other work a link thread may then wait half a second for its turn (measured); with
// 255 ms, six such waits in a row dropped a link. On the line a block takes 7 ms.
constexpr const char* kIntervalMs = "3840";

struct Devices {
  std::vector<std::unique_ptr<ChildProcess>> processes;
  std::vector<std::string> paths;
};

// Repeats are taken as resends (the file has no two equal blocks in a row), so a host that had to
// resend is still checked block by block.
bool StartDevices(const GangRunSetup& setup, Devices& devices, std::string& error) {
  std::vector<std::string> argv{setup.devsim, "--interval", kIntervalMs, "--strict-resends"};
  if (setup.baud > 0) argv.insert(argv.end(), {"--baud", std::to_string(setup.baud)});
  for (std::uint32_t i = 0; i < setup.devices; ++i) {
    auto device = std::make_unique<ChildProcess>();
    if (!device->Start(argv, error)) return false;
    const std::optional<std::string> path = device->ReadLine(Clock::now() + std::chrono::seconds(10));
    if (!path || path->empty() || path->front() != '/') {
      error = "corvane-devsim gave no pseudo-terminal";
      return false;
    }
    devices.paths.push_back(*path);
    devices.processes.push_back(std::move(device));
  }
  return true;
}

struct EventTimes {
  std::optional<Clock::time_point> firstBlock;
  std::optional<Clock::time_point> lastVerdict;
  long peakRssKiB = 0;
};

// The events as they arrive, until corvane-flash's output ends. Its peak memory is read now and
// then, and at its last event, just before it ends.
EventTimes ReadEvents(ChildProcess& flash, Clock::time_point deadline) {
  EventTimes times;
  Clock::time_point lastSample{};
  while (const std::optional<std::string> line = flash.ReadLine(deadline)) {
    const auto now = Clock::now();
    if (now - lastSample > std::chrono::milliseconds(100) || line->find("\"event\":\"exit\"") != std::string::npos) {
      times.peakRssKiB = std::max(times.peakRssKiB, flash.PeakRssKiB());
      lastSample = now;
    }
    const bool progress = line->find("\"event\":\"progress\"") != std::string::npos;
    if (progress && !times.firstBlock && line->find("\"sent\":1,") != std::string::npos) times.firstBlock = now;
    if (line->find("\"event\":\"result\"") != std::string::npos) times.lastVerdict = now;
  }
  return times;
}

// Ends the controllers and counts those that took the whole file, every block once, and said success.
std::uint32_t IntactDevices(Devices& devices, std::uint32_t blocks) {
  const std::string whole = "transfer end: FirmwareEnd after " + std::to_string(blocks) + " blocks";
  std::uint32_t intact = 0;
  for (const auto& device : devices.processes) {
    device->Signal(SIGTERM);
    bool ok = false;
    while (const std::optional<std::string> line = device->ReadLine(Clock::now() + std::chrono::seconds(10))) {
      if (line->rfind(whole, 0) == 0 && line->find("verdict 1 (success)") != std::string::npos) ok = true;
    }
    device->Wait();
    intact += ok;
  }
  return intact;
}

std::vector<std::string> FlashArguments(const GangRunSetup& setup, const Devices& devices) {
  std::vector<std::string> argv{setup.flash, "--gang", "--json"};
  for (const std::string& path : devices.paths) argv.insert(argv.end(), {"--port", path});
  argv.insert(argv.end(), {"firmware", setup.file});
  return argv;
}

}  // namespace

double LineLimitSeconds(std::uint32_t blocks, std::uint32_t baud) {
  if (baud == 0) return 0;
  return (kIdentifyBytes + kBlockBytes * (blocks + 1.0)) * 10.0 / baud;
}

GangFigures MeasureGang(const GangRunSetup& setup) {
  GangFigures figures;
  Devices devices;
  if (!StartDevices(setup, devices, figures.error)) return figures;
  // Generous: the line's time twice over, a millisecond a block for each device, and a minute.
  const auto limit = std::chrono::duration<double>(2 * LineLimitSeconds(setup.blocks, setup.baud) +
                                                   0.001 * setup.blocks * setup.devices + 60);
  const auto start = Clock::now();
  ChildProcess flash;
  // Its texts for people go nowhere: they would only bury the figures.
  if (!flash.Start(FlashArguments(setup, devices), figures.error, true)) return figures;
  const auto deadline = start + std::chrono::duration_cast<Clock::duration>(limit);
  const EventTimes times = ReadEvents(flash, deadline);
  if (Clock::now() >= deadline) flash.Signal(SIGTERM);  // stuck: it ends in order, as interrupted
  const ChildEnd end = flash.Wait();
  figures.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  figures.cpuSeconds = end.cpuSeconds;
  figures.maxRssKiB = times.peakRssKiB;
  if (times.firstBlock && times.lastVerdict)
    figures.transferSeconds = std::chrono::duration<double>(*times.lastVerdict - *times.firstBlock).count();
  figures.intact = IntactDevices(devices, setup.blocks);
  figures.ok = end.exited && end.status == 0 && figures.intact == setup.devices;
  if (!figures.ok) {
    figures.error = "corvane-flash " + (end.exited ? "exit status " + std::to_string(end.status) : "killed") + ", " +
                    std::to_string(figures.intact) + " of " + std::to_string(setup.devices) + " controllers intact";
  }
  return figures;
}

}  // namespace corvane::bench
