// One gang run measured from outside: N simulated controllers, each its own corvane-devsim
// process, and corvane-flash --gang --json sending them one firmware file. The host's figures
// are those of the corvane-flash process alone.
#pragma once
#include <cstdint>
#include <string>

namespace corvane::bench {

struct GangRunSetup {
  std::string flash;   // corvane-flash
  std::string devsim;  // corvane-devsim
  std::string file;    // the firmware file
  std::uint32_t blocks = 0;
  std::uint32_t devices = 1;
  std::uint32_t baud = 0;  // 0: the controllers answer at once
};

struct GangFigures {
  bool ok = false;
  std::string error;
  double wallSeconds = 0;      // corvane-flash started to ended
  double transferSeconds = 0;  // the first block 0 to the last verdict, as the events arrived
  double cpuSeconds = 0;       // corvane-flash's user and system time
  long maxRssKiB = 0;          // corvane-flash's peak resident memory
  std::uint32_t intact = 0;    // controllers that received every block and said success
};

GangFigures MeasureGang(const GangRunSetup& setup);

// The time the file takes on the line alone: the identification, every block with its request,
// the end frame with the verdict, 10 bits a byte. 0 without a line rate.
double LineLimitSeconds(std::uint32_t blocks, std::uint32_t baud);

}  // namespace corvane::bench
