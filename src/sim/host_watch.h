// Notice of a host opening a pseudo-terminal's slave side, so that a controller that holds only
// the master can wait for the next host without polling. Without inotify, Ok() is false and the
// caller falls back to looking again after a pause.
#pragma once
#include <string>

namespace corvane {

class HostWatch {
 public:
  HostWatch() = default;
  ~HostWatch() { Close(); }
  HostWatch(const HostWatch&) = delete;
  HostWatch& operator=(const HostWatch&) = delete;

  // Watches `path` for opens; false (and Ok() false) when that cannot be set up.
  bool Watch(const std::string& path);
  bool Ok() const { return fd_ >= 0; }
  // Readable when an open happened since the last Drain.
  int Fd() const { return fd_; }
  void Drain();
  void Close();

 private:
  int fd_ = -1;
};

}  // namespace corvane
