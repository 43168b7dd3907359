// corvane-devsim: a simulated controller on a pseudo-terminal, for trying the programmer without
// hardware. Prints the pseudo-terminal's path first, then one line per finished transfer.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "pty_device.h"

namespace {

constexpr int kExitOsError = 71;  // EX_OSERR

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
  const auto parsed = corvane::ParseDevsimOptions(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (parsed.outcome.action != corvane::command_line::Action::kRun)
    return corvane::command_line::Finish(parsed.outcome);
  const corvane::SimConfig& config = parsed.options.config;

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  corvane::PtyController device(config);
  const std::uint8_t verdict = config.verdict;
  device.OnTransferEnd([verdict](const corvane::SimObservations& seen) { PrintTransferEnd(seen, verdict); });
  std::string error;
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
