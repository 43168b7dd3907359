// A program run as a child process, its standard output read line by line, its resource usage
// (CPU time, peak resident memory) taken when it is reaped. POSIX only.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace corvane::bench {

struct ChildEnd {
  bool exited = false;  // ended by itself (not by a signal)
  int status = -1;      // its exit status when it did
  double cpuSeconds = 0;  // user and system time
};

class ChildProcess {
 public:
  ChildProcess() = default;
  // Kills and reaps a child still running.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `argv` (argv[0] a path) with its standard output on a pipe; standard error is ours,
  // or none when `quiet`.
  bool Start(const std::vector<std::string>& argv, std::string& error, bool quiet = false);
  // The next line of its standard output, without the newline; none at the end of the output
  // or once `deadline` has passed.
  std::optional<std::string> ReadLine(std::chrono::steady_clock::time_point deadline);
  void Signal(int signal);
  // The peak resident memory of the program now running (VmHWM), 0 when it cannot be read. The
  // peak that wait4 reports is no use: a child spawned with vfork counts its parent's peak too.
  long PeakRssKiB() const;
  // Waits for the child to end and reaps it.
  ChildEnd Wait();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

}  // namespace corvane::bench
