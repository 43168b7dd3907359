// --log FILE: one JSON line appended per device and run. Several processes may append to one
// file at once (a gang and single runs on one bench): each record goes out in one write() on an
// O_APPEND descriptor under an exclusive flock, so records never interleave.
#pragma once
#include <string>

namespace corvane::cli {

class RunLog {
 public:
  RunLog() = default;
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Opens the file for appending, creating it; false with the system's reason in `error`.
  bool Open(const std::string& path, std::string& error);
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // Appends `line` (ending in '\n') whole; false with the reason in `error`.
  bool Append(const std::string& line, std::string& error);

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace corvane::cli
