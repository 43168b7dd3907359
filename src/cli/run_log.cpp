#include "run_log.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "input_file.h"

namespace corvane::cli {
namespace {

#ifdef _WIN32
int OpenForAppend(const std::string& path) {
  return _wopen(PathFromUtf8(path).c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
bool Lock(int) { return true; }
void Unlock(int) {}
long long EndOf(int fd) { return _lseeki64(fd, 0, SEEK_END); }
void CutBack(int fd, long long size) { _chsize_s(fd, size); }
long long WriteSome(int fd, const char* data, std::size_t size) { return _write(fd, data, static_cast<unsigned>(size)); }
#else
int OpenForAppend(const std::string& path) {
  return ::open(PathFromUtf8(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}
bool Lock(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}
void Unlock(int fd) { ::flock(fd, LOCK_UN); }
long long EndOf(int fd) { return ::lseek(fd, 0, SEEK_END); }
void CutBack(int fd, long long size) {
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    // Nothing more to do: the torn record stays, and the run already reports the failure.
  }
}
long long WriteSome(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }
#endif

}  // namespace

RunLog::~RunLog() {
#ifdef _WIN32
  if (fd_ >= 0) _close(fd_);
#else
  if (fd_ >= 0) ::close(fd_);
#endif
}

bool RunLog::Open(const std::string& path, std::string& error) {
  path_ = path;
  fd_ = OpenForAppend(path);
  if (fd_ < 0) error = std::strerror(errno);
  return fd_ >= 0;
}

// One write normally takes the whole line. Should the system take less (a signal), the rest
// follows under the same lock, so no other writer's record comes between. A line that cannot be
// written whole (a full disk) is cut off again, so that the next record does not run into it.
bool RunLog::Append(const std::string& line, std::string& error) {
  if (fd_ < 0) {
    error = "the log file is not open";
    return false;
  }
  if (!Lock(fd_)) {
    error = std::strerror(errno);
    return false;
  }
  const long long before = EndOf(fd_);
  std::size_t written = 0;
  while (written < line.size()) {
    const long long n = WriteSome(fd_, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? std::strerror(errno) : "nothing could be written";
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (written != 0 && written < line.size() && before >= 0) CutBack(fd_, before);
  Unlock(fd_);
  return written == line.size();
}

}  // namespace corvane::cli
