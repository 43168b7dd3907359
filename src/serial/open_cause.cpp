#include "open_cause.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

OpenFailure Failure(OpenCause cause, int error, std::string detail, std::vector<PortHolder> holders = {}) {
  return OpenFailure{OpenResult::kOpenFailed, cause, error, std::move(detail), std::move(holders)};
}

// What the path is when it is no character device: "a directory", "a regular file", ...; empty for
// a character device or a path that cannot be examined.
std::string NotADevice(const std::string& path) {
#if !defined(__unix__) && !defined(__APPLE__)
  (void)path;
  return {};  // Windows names devices, not files
#else
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  if (S_ISCHR(info.st_mode)) return {};
  if (S_ISDIR(info.st_mode)) return "a directory";
  if (S_ISREG(info.st_mode)) return "a regular file";
  return "not a character device";
#endif
}

}  // namespace

OpenFailure ClassifyOpenFailure(const std::string& path, OpenStep step, int error, std::vector<PortHolder> holders) {
  const std::string words = error != 0 ? std::strerror(error) : std::string();
  if (error == ENOENT || error == ENOTDIR || error == ENODEV || error == ENXIO)
    return Failure(OpenCause::kNotFound, error, words);
  if (const std::string kind = NotADevice(path); !kind.empty()) return Failure(OpenCause::kNotSerial, error, kind);
  if (error == ENOTTY || error == EISDIR) return Failure(OpenCause::kNotSerial, error, words);
  if (error == EACCES || error == EPERM || error == EROFS) return Failure(OpenCause::kPermissionDenied, error, words);
  if (!holders.empty() || error == EBUSY) return Failure(OpenCause::kBusy, error, words, std::move(holders));
  if (step == OpenStep::kLock && (error == EWOULDBLOCK || error == EAGAIN))
    return Failure(OpenCause::kLocked, error, words);
  return Failure(OpenCause::kIoError, error, words);
}

}  // namespace corvane
