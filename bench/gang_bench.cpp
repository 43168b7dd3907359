// corvane-gang-bench: corvane-flash --gang against 1, 4, 16 simulated controllers sent the same
// file; wall time against the line's own limit, host CPU per device-second, peak memory.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "gang_bench_options.h"
#include "gang_measure.h"
#include "mt_random.h"
#include "packer.h"

namespace {

using namespace corvane::bench;

// A firmware file of `blocks` blocks with no two equal blocks in a row, in a new folder.
std::string WriteFirmware(std::uint32_t blocks) {
  char folder[] = "/tmp/corvane-gang-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) return {};
  corvane::MersenneRandom random(7);
  std::vector<std::uint8_t> image((blocks - 8) * std::size_t{64});
  for (auto& byte : image) byte = random.NextByte();
  const std::vector<std::uint8_t> file = corvane::PackFirmware({1, 11, 0xC0FFEE01}, image, random);
  const std::string path = std::string(folder) + "/fw.sbin";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return path;
}

void PrintHeader(const GangBenchOptions& options) {
  std::printf("corvane-gang-bench: firmware file of %u blocks (%u bytes), ", options.blocks, options.blocks * 64u);
  if (options.baud > 0) {
    std::printf("simulated lines at %u baud; line limit for the file %.2f s\n", options.baud,
                LineLimitSeconds(options.blocks, options.baud));
  } else {
    std::printf("controllers answering at once (no line time)\n");
  }
  std::printf("machine: %u CPUs\n\n", std::thread::hardware_concurrency());
  std::printf("devices  wall s    transfer s  over limit  host CPU s  CPU µs/block  CPU/device-s  peak MiB  +MiB/device\n");
  std::fflush(stdout);
}

// One row; `first` is the run with the fewest devices, against which memory growth is taken.
void PrintRow(std::uint32_t devices, const GangFigures& f, std::uint32_t baud, std::uint32_t blocks,
              const GangFigures* first, std::uint32_t firstDevices) {
  char over[32] = "-";
  if (baud > 0) std::snprintf(over, sizeof over, "%+.2f %%", (f.wallSeconds / LineLimitSeconds(blocks, baud) - 1) * 100);
  const double deviceSeconds = devices * f.transferSeconds;
  char growth[32] = "-";
  if (first && devices > firstDevices)
    std::snprintf(growth, sizeof growth, "%.2f", (f.maxRssKiB - first->maxRssKiB) / 1024.0 / (devices - firstDevices));
  std::printf("%7u  %8.2f  %10.2f  %10s  %10.2f  %12.1f  %10.3f %%  %8.1f  %11s\n", devices, f.wallSeconds,
              f.transferSeconds, over, f.cpuSeconds, f.cpuSeconds / (static_cast<double>(devices) * blocks) * 1e6,
              deviceSeconds > 0 ? f.cpuSeconds / deviceSeconds * 100 : 0.0, f.maxRssKiB / 1024.0, growth);
  if (!f.ok) std::printf("         failed: %s\n", f.error.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const auto parsed = ParseGangBenchOptions(args);
  if (parsed.outcome.action != corvane::command_line::Action::kRun)
    return corvane::command_line::Finish(parsed.outcome);
  const GangBenchOptions& options = parsed.options;

  const std::string file = WriteFirmware(options.blocks);
  if (file.empty()) {
    std::fprintf(stderr, "corvane-gang-bench: cannot write the firmware file\n");
    return 1;
  }
  PrintHeader(options);
  bool ok = true;
  std::vector<GangFigures> runs;
  runs.reserve(options.devices.size());
  for (const std::uint32_t devices : options.devices) {
    runs.push_back(MeasureGang({CORVANE_FLASH_PATH, CORVANE_DEVSIM_PATH, file, options.blocks, devices, options.baud}));
    PrintRow(devices, runs.back(), options.baud, options.blocks, runs.size() > 1 ? &runs.front() : nullptr,
             options.devices.front());
    ok = ok && runs.back().ok;
  }
  std::filesystem::remove_all(std::filesystem::path(file).parent_path());
  // At the line's pace a device asks for a block every (64 + 16) * 10 bits; the host's share of
  // one core per device is its CPU time per block over that.
  const double lineMicros = 80.0 * 10.0 / (options.baud > 0 ? options.baud : 115200) * 1e6;
  std::printf("\none block on the line at %u baud: %.0f µs; host CPU per device at that pace = CPU µs/block / %.0f µs\n",
              options.baud > 0 ? options.baud : 115200u, lineMicros, lineMicros);
  return ok ? 0 : 1;
}
