// Another process that holds a device: a forked child opens it (and, if asked, takes the same
// exclusive lock the link takes), says so on a pipe, and keeps it until released.
#pragma once
#include <string>

namespace corvane::testing {

class HolderChild {
 public:
  enum class Hold { kOpen, kOpenAndLock };
  // The child calls itself `name`. ok() tells whether it holds the device.
  HolderChild(const std::string& path, Hold hold, const char* name = "corvane-holder");
  ~HolderChild();  // releases the device and reaps the child
  HolderChild(const HolderChild&) = delete;
  HolderChild& operator=(const HolderChild&) = delete;

  bool ok() const { return holding_; }
  int pid() const { return pid_; }

 private:
  int pid_ = -1;
  int release_ = -1;  // closing it lets the child go
  bool holding_ = false;
};

// Runs `body` in a forked child as the unprivileged user `uid` and returns its result (0..255),
// or -1 when the child could not run it. For checks that root would pass.
int RunAsUser(unsigned uid, int (*body)(const std::string&), const std::string& argument);

}  // namespace corvane::testing
