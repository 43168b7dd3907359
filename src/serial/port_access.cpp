#include "port_access.h"

#include <sys/stat.h>
#if defined(__unix__) || defined(__APPLE__)
#include <grp.h>
#include <unistd.h>

#include "holder_watch.h"  // posix/
#endif
#if defined(__linux__)
#include <sys/sysmacros.h>
#endif

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "open_cause.h"
#include "port_holders.h"
#include "trace.h"

namespace corvane {

#if defined(__unix__) || defined(__APPLE__)

namespace {

// True when `locksPath` lists a lock on the file with this device and inode. Lines read
// "1: FLOCK  ADVISORY  WRITE 1234 00:06:90 0 EOF" (device in hex, inode in decimal); lines of
// waiting locks carry "->" after the number.
bool HasFileLock(dev_t device, ino_t inode, const std::string& locksPath) {
  std::ifstream locks(locksPath);
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, id;
    fields >> number >> kind;
    if (kind == "->") continue;
    fields >> mode >> access >> pid >> id;
    unsigned major = 0, minor = 0;
    unsigned long long node = 0;
    if (std::sscanf(id.c_str(), "%x:%x:%llu", &major, &minor, &node) != 3) continue;
    if (major == ::major(device) && minor == ::minor(device) && node == inode) return true;
  }
  return false;
}

// True when the character device is one of a tty driver's, as /proc/tty/drivers lists them
// ("serial  /dev/ttyS  4  64-111  serial"); also when the list cannot be read, so that nothing
// is refused on a system without it. /dev/null is held open by hundreds of processes and is no
// serial device: it must be told as such before anyone is named as its holder.
bool IsTtyDevice(dev_t device, const std::string& procRoot) {
  std::ifstream drivers(procRoot + "/tty/drivers");
  if (!drivers) return true;
  bool any = false;
  std::string line;
  while (std::getline(drivers, line)) {
    std::istringstream fields(line);
    std::string name, node, minors;
    unsigned major = 0;
    if (!(fields >> name >> node >> major >> minors)) continue;
    any = true;
    unsigned first = 0, last = 0;
    const int n = std::sscanf(minors.c_str(), "%u-%u", &first, &last);
    if (n < 1) continue;
    if (n == 1) last = first;
    if (major == ::major(device) && ::minor(device) >= first && ::minor(device) <= last) return true;
  }
  return !any;
}

template <class FindHolders>
OpenFailure CheckPort(const std::string& path, const std::string& procRoot, FindHolders&& findHolders) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return ClassifyOpenFailure(path, OpenStep::kOpen, errno);
  if (!S_ISCHR(info.st_mode)) return ClassifyOpenFailure(path, OpenStep::kOpen, 0);
  if (!IsTtyDevice(info.st_rdev, procRoot)) return ClassifyOpenFailure(path, OpenStep::kOpen, ENOTTY);
  if (::access(path.c_str(), R_OK | W_OK) != 0) return ClassifyOpenFailure(path, OpenStep::kOpen, errno);
  std::vector<PortHolder> holders = findHolders();
  if (!holders.empty()) return ClassifyOpenFailure(path, OpenStep::kOpen, EBUSY, std::move(holders));
  return {};
}

OpenFailure CheckPort(const std::string& path, const std::string& procRoot) {
  return CheckPort(path, procRoot, [&] { return FindPortHolders(path, procRoot).holders; });
}

OpenFailure Traced(const std::string& path, OpenFailure failure) {
  if (failure.Failed())
    qCDebug(SerialTrace).noquote() << "check before opening" << QString::fromStdString(path) << "->"
                                   << QString::fromStdString(CauseText(failure));
  return failure;
}

}  // namespace

OpenFailure CheckPortBeforeOpen(const std::string& path, const std::string& procRoot) {
  return Traced(path, CheckPort(path, procRoot));
}

OpenFailure CheckPortBeforeOpen(const std::string& path, HolderWatch& holders) {
  return Traced(path, CheckPort(path, "/proc", [&] { return holders.Holders(path); }));
}

OpenFailure ProbePortState(const std::string& path, const std::string& procRoot, const std::string& locksPath) {
  OpenFailure state = CheckPort(path, procRoot);
  if (state.Failed()) return state;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && HasFileLock(info.st_dev, info.st_ino, locksPath))
    return ClassifyOpenFailure(path, OpenStep::kLock, EWOULDBLOCK);
  return state;
}

std::string AccessGroup(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || info.st_gid == 0) return {};
  if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return {};
  const group* entry = ::getgrgid(info.st_gid);
  return entry && entry->gr_name ? entry->gr_name : std::string();
}

#else  // Windows: the system opens ports exclusively and says little more.

OpenFailure CheckPortBeforeOpen(const std::string&, const std::string&) { return {}; }
OpenFailure CheckPortBeforeOpen(const std::string&, HolderWatch&) { return {}; }
OpenFailure ProbePortState(const std::string&, const std::string&, const std::string&) { return {}; }
std::string AccessGroup(const std::string&) { return {}; }

#endif

}  // namespace corvane
