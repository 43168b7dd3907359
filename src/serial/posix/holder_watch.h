// Who else has a port open, as FindPortHolders finds it, at a cost a scan can pay before every
// open. Walking every process's descriptors ten times a second costs a large share of a core on
// a desktop with thousands of descriptors; instead the device node is watched (inotify), and the
// walk is repeated only when someone other than this process opened the node since the last walk,
// or when a holder found then may have let go of it. Where the node cannot be watched, every
// call walks.
#pragma once
#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "open_failure.h"

namespace corvane {

class HolderWatch {
 public:
  explicit HolderWatch(std::string procRoot = "/proc");
  ~HolderWatch();
  HolderWatch(const HolderWatch&) = delete;
  HolderWatch& operator=(const HolderWatch&) = delete;

  // The processes other than this one that hold the character device at `path` now.
  std::vector<PortHolder> Holders(const std::string& path);
  // This process opens `path` itself right after this call: that open is nobody else's.
  void ExpectOwnOpen(const std::string& path);
  // How many times the process table was walked (for the scan benchmark).
  int Walks() const { return walks_; }

 private:
  struct Watched {
    int wd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    bool known = false;  // no foreign open or holder's close seen since the last walk
    int ownOpens = 0;    // opens of this process announced and not yet seen
    std::vector<PortHolder> holders;
  };

  std::vector<PortHolder> Walk(const std::string& path);
  void TakeEvents();
  void Forget(int wd);

  const std::string procRoot_;
  std::mutex mutex_;
  int inotify_ = -1;
  std::map<std::string, Watched> watched_;  // by the path as given
  int walks_ = 0;
};

}  // namespace corvane
