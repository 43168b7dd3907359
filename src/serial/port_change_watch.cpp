#include "port_change_watch.h"

#if defined(CORVANE_HAVE_LIBUDEV)
#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#endif

namespace corvane {

#if defined(CORVANE_HAVE_LIBUDEV)

namespace {

bool UdevDaemonRuns() { return ::access("/run/udev/control", F_OK) == 0; }

// /dev is the kernel's devtmpfs (not a container's own tmpfs) according to mountinfo.
bool DevIsDevtmpfs() {
  std::ifstream mounts("/proc/self/mountinfo");
  std::string line;
  while (std::getline(mounts, line)) {
    // "36 25 0:6 / /dev rw,nosuid - devtmpfs udev rw,..."
    std::istringstream fields(line);
    std::string id, parent, device, root, point;
    fields >> id >> parent >> device >> root >> point;
    if (point != "/dev") continue;
    const std::size_t dash = line.find(" - ");
    if (dash != std::string::npos && line.compare(dash + 3, 9, "devtmpfs ") == 0) return true;
  }
  return false;
}

// The kernel sends device events only to network namespaces of the initial user namespace,
// whose identity map covers every user id.
bool InInitialUserNamespace() {
  std::ifstream map("/proc/self/uid_map");
  unsigned long long inside = 1, outside = 1, count = 0;
  return (map >> inside >> outside >> count) && inside == 0 && outside == 0 && count == 4294967295ULL;
}

class UdevWatch : public PortChangeWatch {
 public:
  UdevWatch(udev* context, udev_monitor* monitor, const char* source)
      : context_(context), monitor_(monitor), source_(source) {}
  ~UdevWatch() override {
    udev_monitor_unref(monitor_);
    udev_unref(context_);
  }
  int Descriptor() const override { return udev_monitor_get_fd(monitor_); }
  const char* Source() const override { return source_; }

  bool TakeChanges() override {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
      changed = true;
      udev_device_unref(device);
    }
    if (errno == ENOBUFS) changed = true;  // the socket overflowed: events were lost
    return changed;
  }

 private:
  udev* context_;
  udev_monitor* monitor_;
  const char* source_;
};

}  // namespace

std::unique_ptr<PortChangeWatch> OpenPortChangeWatch() {
  const char* source = nullptr;
  if (UdevDaemonRuns())
    source = "udev";
  else if (DevIsDevtmpfs() && InInitialUserNamespace())
    source = "kernel";
  if (!source) return nullptr;
  udev* context = udev_new();
  if (!context) return nullptr;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, source);
  if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
    if (monitor) udev_monitor_unref(monitor);
    udev_unref(context);
    return nullptr;
  }
  return std::make_unique<UdevWatch>(context, monitor, source);
}

#else

std::unique_ptr<PortChangeWatch> OpenPortChangeWatch() { return nullptr; }

#endif

}  // namespace corvane
