// corvane-scan-bench: what the scan's port handling costs on this machine. Prints the cost of one
// holder check (FindPortHolders, as before every open) and the share of one core that listing the
// system's ports takes at the scan's 10 steps a second: read afresh at every step
// (SystemPortLister) and kept current from hotplug notices (HotplugPortLister), the latter also
// with the check before the open of one port per step. A program, not a test.
#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hotplug_port_lister.h"
#include "option_values.h"
#include "parser.h"
#include "port_access.h"
#include "port_holders.h"
#include "port_list.h"
#include "port_path.h"
#include "raw_pty.h"
#include "serial_link.h"

namespace {

using namespace corvane;
using Clock = std::chrono::steady_clock;

struct BenchOptions {
  std::chrono::milliseconds run{std::chrono::seconds(10)};
  std::string port;
  int crowd = 300;  // processes started to stand for a desktop's
};

// Processes that hold descriptors as a desktop's programs do (17 each: 300 hold about 5,000),
// until the crowd is destroyed.
class Crowd {
 public:
  explicit Crowd(int processes) {
    int release[2];
    if (processes <= 0 || ::pipe(release) != 0) return;
    for (int i = 0; i < processes; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::close(release[1]);
        for (int d = 0; d < 17; ++d) (void)::open("/dev/null", O_RDONLY);
        char c;
        (void)!::read(release[0], &c, 1);  // until the parent lets go
        ::_exit(0);
      }
      if (pid > 0) pids_.push_back(pid);
    }
    ::close(release[0]);
    release_ = release[1];
  }
  ~Crowd() {
    if (release_ >= 0) ::close(release_);
    for (const pid_t pid : pids_) ::waitpid(pid, nullptr, 0);
  }

 private:
  std::vector<pid_t> pids_;
  int release_ = -1;
};

double CpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Processes and descriptors in /proc that this user may list, as the holder check walks them.
std::pair<int, int> ProcessTable() {
  int processes = 0, descriptors = 0;
  DIR* proc = ::opendir("/proc");
  if (!proc) return {0, 0};
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    DIR* fds = ::opendir(("/proc/" + std::string(entry->d_name) + "/fd").c_str());
    if (!fds) continue;
    ++processes;
    while (const dirent* fd = ::readdir(fds)) descriptors += fd->d_name[0] != '.';
    ::closedir(fds);
  }
  ::closedir(proc);
  return {processes, descriptors};
}

void MeasureHolderCheck(const std::string& path) {
  const auto [processes, descriptors] = ProcessTable();
  std::vector<double> micros;
  for (int i = 0; i < 200; ++i) {
    const auto start = Clock::now();
    (void)FindPortHolders(path);
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(micros.begin(), micros.end());
  std::printf("holder check on %s: median %.0f us, p90 %.0f us (%d processes, %d descriptors listed)\n", path.c_str(),
              micros[micros.size() / 2], micros[micros.size() * 9 / 10], processes, descriptors);
}

// Runs `step` every 100 ms for `run` in the event loop; the process's CPU time over that time as
// a percentage of one core.
double CoreShareAtTenSteps(const std::function<void()>& step, std::chrono::milliseconds run) {
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, step);
  const double cpuStart = CpuSeconds();
  const auto wallStart = Clock::now();
  timer.start(100);
  QTimer::singleShot(run, QCoreApplication::instance(), &QCoreApplication::quit);
  QCoreApplication::exec();
  timer.stop();
  const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
  return 100.0 * (CpuSeconds() - cpuStart) / wall;
}

void MeasureListers(std::chrono::milliseconds run) {
  SystemPortLister everyTime(nullptr);
  const std::size_t ports = everyTime.ListSerialPorts().size();
  std::printf("system ports: %zu; each lister runs %.0f s at 10 steps/s\n", ports, run.count() / 1000.0);
  const double idle = CoreShareAtTenSteps([] {}, run);
  std::printf("  event loop alone:                      %5.2f %% of one core\n", idle);
  const double before = CoreShareAtTenSteps([&] { everyTime.ListSerialPorts(); }, run);
  std::printf("  read afresh at every step (before):    %5.2f %% of one core\n", before);
  HotplugPortLister hotplug(nullptr);
  std::printf("  hotplug notices: %s\n", hotplug.Watching() ? "watching" : "none here, read at every step");
  const double after = CoreShareAtTenSteps([&] { hotplug.ListSerialPorts(); }, run);
  std::printf("  kept current from notices (after):     %5.2f %% of one core\n", after);
  std::size_t index = 0;
  const double withCheck = CoreShareAtTenSteps(
      [&] {
        const std::vector<std::string> names = hotplug.ListSerialPorts();
        if (!names.empty()) (void)CheckPortBeforeOpen(PortPath(names[index++ % names.size()]));
      },
      run);
  std::printf("  after, plus the check before an open:  %5.2f %% of one core\n", withCheck);
}

// A silent port scanned as the window scans it: at each 100 ms step the port is opened, an
// identification request sent, and the port closed again. Before: the holder check walked the
// process table before every open; after: the link's own open, which walks it only when the port
// may have changed hands.
void MeasureSilentScan(const std::string& port, std::chrono::milliseconds run) {
  const auto [processes, descriptors] = ProcessTable();
  std::printf("a silent port scanned for %.0f s (%d processes, %d descriptors listed):\n", run.count() / 1000.0,
              processes, descriptors);
  const double walk = CoreShareAtTenSteps([&] { (void)CheckPortBeforeOpen(port); }, run);
  std::printf("  holder walk before every open (before): %5.2f %% of one core\n", walk);
  SerialLink link;
  const std::uint8_t request[12] = {0xDA, 0x00};
  int refused = 0;
  const double scan = CoreShareAtTenSteps(
      [&] {
        if (link.OpenPort(port) != OpenResult::kOk && !refused++)
          std::printf("  open refused: %s\n", CauseText(link.LastOpenFailure()).c_str());
        link.Send(request, sizeof request);
        link.ClosePort();
      },
      run);
  std::printf("  the link's open, request and close (after): %5.2f %% of one core%s\n", scan,
              refused ? " (some opens were refused)" : "");
}

command_line::Parsed<BenchOptions> Parse(const std::vector<std::string>& args) {
  command_line::Parsed<BenchOptions> parsed;
  const std::string usage =
      "Usage: corvane-scan-bench [--seconds S] [--port PATH]\n"
      "\n"
      "Prints what one holder check costs and the share of one core that listing the serial\n"
      "ports takes at the scan's 10 steps a second, read afresh at every step and kept current\n"
      "from hotplug notices.\n"
      "\n"
      "  --seconds S    how long each lister runs (default 10)\n"
      "  --port PATH    the device for the holder check (default: the first system port, else a\n"
      "                 pseudo-terminal)\n"
      "  --crowd N      start N processes holding 17 descriptors each for the silent-port scan\n"
      "                 (default 300; 0: none)\n"
      "  -h, --help     show this text\n"
      "  -V, --version  show the version\n";
  command_line::Parser parser("corvane-scan-bench", usage, command_line::VersionLine("corvane-scan-bench"));
  command_line::AddSeconds(parser.app(), "--seconds", parsed.options.run, 600);
  command_line::AddPath(parser.app(), "--port", parsed.options.port);
  parser.app().add_option("--crowd", parsed.options.crowd)->check(CLI::Range(0, 2000));
  parsed.outcome = parser.Parse(args);
  return parsed;
}

}  // namespace

int main(int argc, char** argv) {
  const auto parsed = Parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (parsed.outcome.action != command_line::Action::kRun) return command_line::Finish(parsed.outcome);
  QCoreApplication application(argc, argv);
  std::string port = parsed.options.port;
  RawPty pty;
  if (port.empty()) {
    const std::vector<std::string> names = SystemPortLister(nullptr).ListSerialPorts();
    if (!names.empty()) port = PortPath(names.front());
  }
  if (port.empty()) {
    pty = OpenRawPty();
    port = pty.slavePath;
  }
  MeasureHolderCheck(port);
  MeasureListers(parsed.options.run);
  {
    Crowd crowd(parsed.options.crowd);
    // The scan's open needs a port nobody else holds: a pseudo-terminal of our own, made after
    // the crowd was forked.
    RawPty silent = OpenRawPty();
    MeasureSilentScan(silent.slavePath, parsed.options.run);
  }
  return 0;
}
