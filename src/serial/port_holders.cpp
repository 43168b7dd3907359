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

// True when one of the descriptors listed in `fdDir` (consumed) leads to the device `rdev`.
// Targets that are no path (pipes, sockets, anonymous inodes) are passed over without a look-up;
// the look-up uses cached attributes, so a descriptor on a hung network mount cannot stall it.
bool HoldsDevice(int fdDir, dev_t rdev) {
  DIR* dir = ::fdopendir(fdDir);
  if (!dir) {
    ::close(fdDir);
    return false;
  }
  bool holds = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    char target[8];
    if (::readlinkat(fdDir, entry->d_name, target, sizeof target) <= 0 || target[0] != '/') continue;
    struct statx info {};
    if (::statx(fdDir, entry->d_name, AT_STATX_DONT_SYNC, STATX_TYPE, &info) != 0) continue;
    if (S_ISCHR(info.stx_mode) && makedev(info.stx_rdev_major, info.stx_rdev_minor) == rdev) {
      holds = true;
      break;
    }
  }
  ::closedir(dir);
  return holds;
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
    if (HoldsDevice(fdDir, device.st_rdev))
      search.holders.push_back({std::atoi(entry->d_name), ReadCommandName(procFd, entry->d_name)});
  }
  ::closedir(proc);
  ::close(procFd);
  if (SerialTrace().isDebugEnabled()) {
    QString names;
    for (const PortHolder& holder : search.holders) names += QString::fromStdString(" " + HolderText(holder));
    qCDebug(SerialTrace).noquote() << "holders of" << QString::fromStdString(devicePath) << ":"
                                   << (names.isEmpty() ? QStringLiteral(" none") : names) << "; not readable:"
                                   << search.unreadable << "processes";
  }
  return search;
}

#else

HolderSearch FindPortHolders(const std::string&, const std::string&) { return {}; }

#endif

}  // namespace corvane
