// corvane-devsim: simulated controllers on pseudo-terminals, for trying the programmer without
// hardware. Prints the pseudo-terminals' paths first, one a line, then one line per finished
// transfer; with more than one controller, each line after the paths begins with its path.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "options.h"
#include "pty_device.h"

namespace {

constexpr int kExitOsError = 71;  // EX_OSERR

using Devices = std::vector<std::unique_ptr<corvane::PtyController>>;

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int) { stopSignal = 1; }

const char* EndFrameName(std::uint16_t type) {
  switch (type) {
    case corvane::kFirmwareEnd:
      return "FirmwareEnd";
    case corvane::kDataMapEnd:
      return "DataMapEnd";
    default:
      return "unknown end frame";
  }
}

// What the lines about `device` begin with: nothing when it is the only one.
std::string Prefix(const corvane::PtyController& device, bool alone) {
  return alone ? std::string() : device.SlavePath() + ": ";
}

void PrintTransferEnd(const std::string& prefix, const corvane::SimObservations& seen, std::uint8_t verdict) {
  const corvane::EndFrameRecord end = seen.endFrame.value_or(corvane::EndFrameRecord{});
  std::printf("%stransfer end: %s after %zu blocks, %u resends, closing value 0x%08X, verdict %u (%s)\n",
              prefix.c_str(), EndFrameName(end.type), seen.blocks.size(), seen.resends, end.closingValue, verdict,
              verdict == 1 ? "success" : "failure");
  std::fflush(stdout);
}

void PrintEnding(const std::string& prefix, const corvane::SimObservations& seen) {
  if (seen.vanished) std::printf("%svanished after %zu blocks\n", prefix.c_str(), seen.blocks.size());
  if (!seen.endFrame && !seen.blocks.empty())
    std::printf("%stransfer unfinished: %zu blocks, %u resends\n", prefix.c_str(), seen.blocks.size(), seen.resends);
}

// Starts `count` controllers; on failure says why on standard error and leaves none running.
bool StartDevices(const corvane::SimConfig& config, std::uint32_t count, Devices& devices) {
  for (std::uint32_t i = 0; i < count; ++i) {
    auto device = std::make_unique<corvane::PtyController>(config);
    const corvane::PtyController* self = device.get();
    const bool alone = count == 1;
    const std::uint8_t verdict = config.verdict;
    device->OnTransferEnd([self, alone, verdict](const corvane::SimObservations& seen) {
      PrintTransferEnd(Prefix(*self, alone), seen, verdict);
    });
    std::string error;
    if (!device->Start(&error)) {
      std::fprintf(stderr, "corvane-devsim: cannot open a pseudo-terminal: %s\n", error.c_str());
      devices.clear();
      return false;
    }
    devices.push_back(std::move(device));
  }
  return true;
}

// Until a stop signal, or until every controller has vanished.
void Serve(const Devices& devices) {
  const auto vanished = [](const corvane::SimObservations& seen) { return seen.vanished; };
  std::size_t gone = 0;  // the controllers before this one have vanished
  while (!stopSignal && gone < devices.size()) {
    if (devices[gone]->WaitFor(vanished, std::chrono::milliseconds(100))) ++gone;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto parsed = corvane::ParseDevsimOptions(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (parsed.outcome.action != corvane::command_line::Action::kRun)
    return corvane::command_line::Finish(parsed.outcome);

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  Devices devices;
  if (!StartDevices(parsed.options.config, parsed.options.count, devices)) return kExitOsError;
  for (const auto& device : devices) std::printf("%s\n", device->SlavePath().c_str());
  std::fflush(stdout);

  Serve(devices);
  for (const auto& device : devices) device->Stop();
  for (const auto& device : devices) PrintEnding(Prefix(*device, devices.size() == 1), device->Observe());
  std::fflush(stdout);
  return 0;
}
