#include "host_watch.h"

#include <unistd.h>

#if defined(__linux__)
#include <sys/inotify.h>
#endif

namespace corvane {

bool HostWatch::Watch(const std::string& path) {
  Close();
#if defined(__linux__)
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return false;
  if (inotify_add_watch(fd_, path.c_str(), IN_OPEN) < 0) Close();
#else
  (void)path;
#endif
  return Ok();
}

void HostWatch::Drain() {
  if (fd_ < 0) return;
  alignas(8) char sink[512];
  while (::read(fd_, sink, sizeof sink) > 0) {
  }
}

void HostWatch::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace corvane
