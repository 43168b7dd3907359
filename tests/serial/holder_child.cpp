#include "holder_child.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::testing {

namespace {

// Waits up to 10 s for one byte on `fd`; the byte, or -1.
int ReadByte(int fd) {
  pollfd p{fd, POLLIN, 0};
  unsigned char byte = 0;
  if (::poll(&p, 1, 10000) != 1 || ::read(fd, &byte, 1) != 1) return -1;
  return byte;
}

// Closes every descriptor from 3 up except `a` and `b`.
void CloseAllBut(int a, int b) {
  const int low = a < b ? a : b, high = a < b ? b : a;
  ::close_range(3, static_cast<unsigned>(low - 1), 0);
  ::close_range(static_cast<unsigned>(low + 1), static_cast<unsigned>(high - 1), 0);
  ::close_range(static_cast<unsigned>(high + 1), ~0U, 0);
}

}  // namespace

HolderChild::HolderChild(const std::string& path, Hold hold, const char* name) {
  int ready[2], release[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return;
  if (::pipe2(release, O_CLOEXEC) != 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {                      // only async-signal-safe calls from here on
    CloseAllBut(ready[1], release[0]);  // what the test process holds is not the child's
    ::prctl(PR_SET_NAME, name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool held = fd >= 0 && (hold == Hold::kOpen || ::flock(fd, LOCK_EX | LOCK_NB) == 0);
    const unsigned char answer = held ? 1 : 0;
    (void)::write(ready[1], &answer, 1);
    char ignored;
    while (::read(release[0], &ignored, 1) > 0) {
    }
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_ = release[1];
  holding_ = pid_ > 0 && ReadByte(ready[0]) == 1;
  ::close(ready[0]);
}

HolderChild::~HolderChild() {
  if (release_ >= 0) ::close(release_);
  if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
}

int RunAsUser(unsigned uid, int (*body)(const std::string&), const std::string& argument) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    if (::setgid(uid) != 0 || ::setuid(uid) != 0) ::_exit(255);
    ::_exit(body(argument) & 0xFF);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  const int code = WEXITSTATUS(status);
  return code == 255 ? -1 : code;
}

}  // namespace corvane::testing
