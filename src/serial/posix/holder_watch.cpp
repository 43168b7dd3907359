#include "holder_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "port_holders.h"

namespace corvane {

namespace {
constexpr std::uint32_t kEvents = IN_OPEN | IN_CLOSE | IN_ATTRIB | IN_DELETE_SELF;
}

HolderWatch::HolderWatch(std::string procRoot)
    : procRoot_(std::move(procRoot)), inotify_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

HolderWatch::~HolderWatch() {
  if (inotify_ >= 0) ::close(inotify_);
}

std::vector<PortHolder> HolderWatch::Walk(const std::string& path) {
  ++walks_;
  return FindPortHolders(path, procRoot_).holders;
}

std::vector<PortHolder> HolderWatch::Holders(const std::string& path) {
  std::lock_guard lock(mutex_);
  struct stat node {};
  if (inotify_ < 0 || ::stat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) return Walk(path);
  TakeEvents();
  auto it = watched_.find(path);
  if (it != watched_.end() && (it->second.device != node.st_rdev || it->second.inode != node.st_ino)) {
    Forget(it->second.wd);  // another device under the same name (an adapter plugged in again)
    it = watched_.end();
  }
  if (it == watched_.end()) {
    // Watch first, walk second: an open during the walk is seen at the next call.
    const int wd = ::inotify_add_watch(inotify_, path.c_str(), kEvents);
    if (wd < 0) return Walk(path);
    // Two names of one node share a watch: the name asked for now takes it over.
    std::erase_if(watched_, [wd](const auto& other) { return other.second.wd == wd; });
    it = watched_.insert_or_assign(path, Watched{wd, node.st_rdev, node.st_ino}).first;
  }
  Watched& entry = it->second;
  if (!entry.known) {
    entry.holders = Walk(path);
    entry.known = true;
  }
  return entry.holders;
}

void HolderWatch::ExpectOwnOpen(const std::string& path) {
  std::lock_guard lock(mutex_);
  const auto it = watched_.find(path);
  if (it != watched_.end() && it->second.known) ++it->second.ownOpens;
}

void HolderWatch::TakeEvents() {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t length = ::read(inotify_, buffer, sizeof buffer);
    if (length <= 0) return;  // EAGAIN: all taken
    for (ssize_t at = 0; at < length;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) {
        for (auto& [name, entry] : watched_) entry.known = false;
        continue;
      }
      for (auto& [name, entry] : watched_) {
        if (entry.wd != event->wd) continue;
        if (event->mask & IN_OPEN) {
          if (entry.ownOpens > 0)
            --entry.ownOpens;
          else
            entry.known = false;
        }
        // Only a close can free a port that someone held; closes of a free port are ours.
        if ((event->mask & IN_CLOSE) && !entry.holders.empty()) entry.known = false;
        if (event->mask & (IN_ATTRIB | IN_DELETE_SELF | IN_IGNORED)) entry.known = false;
      }
      if (event->mask & IN_IGNORED) Forget(event->wd);
    }
  }
}

void HolderWatch::Forget(int wd) {
  for (auto it = watched_.begin(); it != watched_.end();) {
    if (it->second.wd == wd) {
      if (wd >= 0) (void)::inotify_rm_watch(inotify_, wd);
      it = watched_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace corvane
