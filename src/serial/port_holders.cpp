#include "port_holders.h"

#if defined(__linux__)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

#include "trace.h"

namespace corvane {

#if defined(__linux__)

namespace {

bool IsPid(const char* name) {
  if (*name == '\0') return false;
  for (; *name; ++name)
    if (*name < '0' || *name > '9') return false;
  return true;
}

std::string ReadCommandName(int procFd, const char* pid) {
  const std::string path = std::string(pid) + "/comm";
  const int fd = ::openat(procFd, path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[64];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  if (n <= 0) return {};
  std::string name(buffer, static_cast<std::size_t>(n));
  while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
  return name;
}

enum class Holds { kNo, kYes, kUnreadable };

// Whether one of the descriptors listed in `fdDir` leads to the device `rdev`. Targets
// that are no path (pipes, sockets, anonymous inodes) are passed over without a look-up; the
// look-up uses cached attributes, so a descriptor on a hung network mount cannot stall it. A
// process whose links may not be read (its folder may be listed, yet every link is refused) is
// left at the first refusal.
Holds HoldsDevice(int fdDir, dev_t rdev) {
  // Read with getdents64 directly: a directory stream costs three more system calls per process.
  alignas(8) char buffer[16384];
  for (;;) {
    const ssize_t length = ::getdents64(fdDir, buffer, sizeof buffer);
    if (length <= 0) return Holds::kNo;
    for (ssize_t at = 0; at < length;) {
      const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
      at += entry->d_reclen;
      if (entry->d_name[0] == '.') continue;
      char target[8];
      if (::readlinkat(fdDir, entry->d_name, target, sizeof target) <= 0) {
        if (errno == EACCES || errno == EPERM) return Holds::kUnreadable;
        continue;  // closed meanwhile
      }
      if (target[0] != '/') continue;
      struct statx info {};
      if (::statx(fdDir, entry->d_name, AT_STATX_DONT_SYNC, STATX_TYPE, &info) != 0) continue;
      if (S_ISCHR(info.stx_mode) && makedev(info.stx_rdev_major, info.stx_rdev_minor) == rdev) return Holds::kYes;
    }
    // The kernel fills the buffer while entries fit (an entry here is at most 40 bytes): with room
    // to spare, the listing is complete and a further call would only say so.
    if (length + 64 < static_cast<ssize_t>(sizeof buffer)) return Holds::kNo;
  }
}

}  // namespace

HolderSearch FindPortHolders(const std::string& devicePath, const std::string& procRoot) {
  HolderSearch search;
  struct stat device {};
  if (::stat(devicePath.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) return search;
  const int procFd = ::open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (procFd < 0) return search;
  DIR* proc = ::fdopendir(::dup(procFd));
  if (!proc) {
    ::close(procFd);
    return search;
  }
  const std::string self = std::to_string(::getpid());
  while (const dirent* entry = ::readdir(proc)) {
    if (!IsPid(entry->d_name) || self == entry->d_name) continue;
    const std::string fdPath = std::string(entry->d_name) + "/fd";
    const int fdDir = ::openat(procFd, fdPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdDir < 0) {
      if (errno == EACCES || errno == EPERM) ++search.unreadable;
      continue;  // gone meanwhile, or not ours to read
    }
    const Holds holds = HoldsDevice(fdDir, device.st_rdev);
    ::close(fdDir);
    switch (holds) {
      case Holds::kYes:
        search.holders.push_back({std::atoi(entry->d_name), ReadCommandName(procFd, entry->d_name)});
        break;
      case Holds::kUnreadable:
        ++search.unreadable;
        break;
      case Holds::kNo:
        break;
    }
  }
  ::closedir(proc);
  ::close(procFd);
  if (SerialTrace().isDebugEnabled()) {
    QString names;
    for (const PortHolder& holder : search.holders) names += QString::fromStdString(" " + HolderText(holder));
    qCDebug(SerialTrace).noquote() << "holders of" << QString::fromStdString(devicePath) << ":"
                                   << (names.isEmpty() ? QStringLiteral(" none") : names)
                                   << "; not readable:" << search.unreadable << "processes";
  }
  return search;
}

#else

HolderSearch FindPortHolders(const std::string&, const std::string&) { return {}; }

#endif

}  // namespace corvane
