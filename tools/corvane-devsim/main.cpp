// corvane-devsim: a simulated controller on a pseudo-terminal, for trying the programmer without
// hardware. Prints the pseudo-terminal's path first, then one line per finished transfer.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

#include "options.h"
#include "pty_device.h"

namespace {

constexpr int kExitUsage = 64;
constexpr int kExitOsError = 71;

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

void PrintTransferEnd(const corvane::SimObservations& seen, std::uint8_t verdict) {
  const corvane::EndFrameRecord end = seen.endFrame.value_or(corvane::EndFrameRecord{});
  std::printf("transfer end: %s after %zu blocks, %u resends, closing value 0x%08X, verdict %u (%s)\n",
              EndFrameName(end.type), seen.blocks.size(), seen.resends, end.closingValue, verdict,
              verdict == 1 ? "success" : "failure");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = corvane::ParseDevsimOptions(argc - 1, argv + 1, error);
  if (!options) {
    std::fprintf(stderr, "corvane-devsim: %s\n\n%s", error.c_str(), corvane::DevsimUsage());
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(corvane::DevsimUsage(), stdout);
    return 0;
  }

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  corvane::PtyController device(options->config);
  const std::uint8_t verdict = options->config.verdict;
  device.OnTransferEnd([verdict](const corvane::SimObservations& seen) { PrintTransferEnd(seen, verdict); });
  if (!device.Start(&error)) {
    std::fprintf(stderr, "corvane-devsim: cannot open a pseudo-terminal: %s\n", error.c_str());
    return kExitOsError;
  }
  std::printf("%s\n", device.SlavePath().c_str());
  std::fflush(stdout);

  bool vanished = false;
  while (!stopSignal && !vanished)
    vanished = device.WaitFor([](const corvane::SimObservations& seen) { return seen.vanished; },
                              std::chrono::milliseconds(100));
  device.Stop();

  const corvane::SimObservations seen = device.Observe();
  if (vanished) std::printf("vanished after %zu blocks\n", seen.blocks.size());
  if (!seen.endFrame && !seen.blocks.empty())
    std::printf("transfer unfinished: %zu blocks, %u resends\n", seen.blocks.size(), seen.resends);
  std::fflush(stdout);
  return 0;
}
