#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

extern char** environ;

namespace corvane::bench {

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    Signal(SIGKILL);
    Wait();
  }
  if (out_ >= 0) close(out_);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string& error, bool quiet) {
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  if (quiet) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int spawned = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  out_ = pipeEnds[0];
  if (spawned != 0) {
    pid_ = -1;
    error = argv[0] + ": " + std::strerror(spawned);
  }
  return spawned == 0;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (out_ < 0 || left.count() <= 0) return std::nullopt;
    pollfd ready{out_, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;  // the end of its output
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

long ChildProcess::PeakRssKiB() const {
  if (pid_ <= 0) return 0;
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

ChildEnd ChildProcess::Wait() {
  ChildEnd end;
  if (pid_ <= 0) return end;
  int status = 0;
  rusage usage{};
  pid_t reaped = -1;
  do {
    reaped = wait4(pid_, &status, 0, &usage);
  } while (reaped < 0 && errno == EINTR);
  pid_ = -1;
  if (reaped < 0) return end;
  end.exited = WIFEXITED(status);
  end.status = end.exited ? WEXITSTATUS(status) : -1;
  end.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return end;
}

}  // namespace corvane::bench
