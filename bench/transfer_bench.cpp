// corvane-bench: how fast the host turns a block request around, against the floor that a bare
// loop on a pseudo-terminal sets on the same machine in the same run.
#include <QCoreApplication>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench_options.h"
#include "latency_stats.h"
#include "pty_floor.h"
#include "transfer_run.h"

namespace {

using corvane::bench::LatencySummary;
using corvane::bench::Summarize;

// Line time per block at 115200 baud, 10 bits a byte: the 64-byte block out and the 16-byte
// request back.
constexpr double kLineTimeUs = (64.0 + 16.0) * 10.0 / 115200.0 * 1e6;

std::string CpuModel() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) != 0) continue;
    const auto colon = line.find(':');
    if (colon != std::string::npos) return line.substr(line.find_first_not_of(" \t", colon + 1));
  }
  return "unknown";
}

void PrintLatency(const char* what, const LatencySummary& s, const char* note) {
  std::printf("  %-16s median %8.1f µs   p99 %8.1f µs   max %9.1f µs   (%zu samples) %s\n", what, s.medianUs, s.p99Us,
              s.maxUs, s.count, note);
}

std::optional<LatencySummary> MeasureFloor(const char* label, std::uint32_t rounds) {
  const corvane::bench::FloorResult floor = corvane::bench::RunPtyFloor(rounds);
  if (!floor.ok) {
    std::fprintf(stderr, "corvane-bench: floor loop failed: %s\n", floor.error.c_str());
    return std::nullopt;
  }
  const LatencySummary summary = Summarize(floor.roundTrips);
  char rate[64];
  std::snprintf(rate, sizeof rate, "%.0f blocks/s", static_cast<double>(rounds) / floor.seconds);
  PrintLatency(label, summary, rate);
  std::fflush(stdout);
  return summary;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane::bench;

  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto parsed = ParseBenchOptions(args);
  if (parsed.outcome.action != corvane::command_line::Action::kRun)
    return corvane::command_line::Finish(parsed.outcome);
  const std::uint32_t blocks = parsed.options.blocks;
  const std::uint32_t rounds = blocks < kMaxFloorRounds ? blocks : kMaxFloorRounds;

  QCoreApplication application(argc, argv);
  std::printf("corvane-bench: firmware file of %u blocks (%u bytes); machine: %u CPUs, %s\n\n", blocks, blocks * 64u,
              std::thread::hardware_concurrency(), CpuModel().c_str());

  // The floor is measured before and after the transfer: other load on the machine shows up as
  // a difference between the two, and the better of them is the one compared against.
  std::printf("floor: bare loop on both ends of a pseudo-terminal (16-byte request in, 64-byte block out)\n");
  const std::optional<LatencySummary> floorBefore = MeasureFloor("before", rounds);
  if (!floorBefore) return 1;

  std::printf("\ntransfer: SerialLink + Session + QtTimer, instant simulated controller on a pseudo-terminal\n");
  std::fflush(stdout);
  const TransferRunResult run = RunTransfer(blocks);
  const LatencySummary turnaround = Summarize(run.timings.turnaround);
  const LatencySummary roundTrip = Summarize(run.timings.roundTrip);
  PrintLatency("host turnaround", turnaround, "BlockRequest read on the link thread -> next block written");
  PrintLatency(" to window", Summarize(run.timings.toWindow), "read -> dispatch on the window thread");
  PrintLatency(" window work", Summarize(run.timings.windowWork), "dispatch -> Send (Timer2, TransferStep)");
  PrintLatency(" to port", Summarize(run.timings.toPort), "Send -> write on the link thread");
  PrintLatency("device leg", Summarize(run.timings.deviceLeg), "block written -> next BlockRequest read");
  PrintLatency("round trip", roundTrip, "BlockRequest read -> next BlockRequest read");
  if (run.seconds > 0) {
    std::printf("  %.0f blocks/s, %.3f s from block 0 to the verdict, Timer2 expiries: %u\n",
                static_cast<double>(run.blocks) / run.seconds, run.seconds, run.timer2Expiries);
  }
  std::printf("  device received: %s\n", run.deviceCheck.c_str());
  if (run.timer2Expiries > 0)
    std::printf("  note: Timer2 fired %u times; the figures include the repeats it caused\n", run.timer2Expiries);
  if (run.droppedEvents > 0) std::printf("  (%zu link events not recorded)\n", run.droppedEvents);

  std::printf("\nfloor again, after the transfer:\n");
  const std::optional<LatencySummary> floorAfter = MeasureFloor("after", rounds);
  if (!floorAfter) return 1;
  const LatencySummary& floor = floorAfter->medianUs < floorBefore->medianUs ? *floorAfter : *floorBefore;

  std::printf("\nhost turnaround: median %.1f µs, p99 %.1f µs (targets: 100 µs, 1000 µs)\n", turnaround.medianUs,
              turnaround.p99Us);
  std::printf("host share of the line time per block (%.0f µs at 115200 baud): %.2f %% (median)\n", kLineTimeUs,
              turnaround.medianUs / kLineTimeUs * 100.0);
  std::printf("round trip over the better floor: %+.1f µs median, %+.1f µs p99\n", roundTrip.medianUs - floor.medianUs,
              roundTrip.p99Us - floor.p99Us);

  if (!run.ok) {
    std::fprintf(stderr, "corvane-bench: transfer failed: %s\n", run.error.c_str());
    return 1;
  }
  return 0;
}
