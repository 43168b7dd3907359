#include "input_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace corvane {

namespace {
constexpr const char* kNotRegular = "not a regular file";
constexpr const char* kDirectory = "a directory";

bool AllocateExactly(std::vector<std::uint8_t>& out, long long length) {
  try {
    out.assign(static_cast<std::size_t>(length), 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}
}  // namespace

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string AbsoluteUtf8(std::string_view utf8) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(PathFromUtf8(utf8), ec);
  if (ec) return std::string(utf8);
  const std::u8string text = absolute.lexically_normal().u8string();
  return std::string(text.begin(), text.end());
}

#ifndef _WIN32

// O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one forever.
InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    const int cause = errno;
    error_ = std::strerror(cause);
    fault_ = cause == ENOENT || cause == ENOTDIR ? OpenFault::kNotFound
             : cause == EACCES || cause == EPERM ? OpenFault::kPermissionDenied
             : cause == EISDIR                   ? OpenFault::kDirectory
                                                 : OpenFault::kOther;
    return;
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    error_ = std::strerror(errno);
    fault_ = OpenFault::kOther;
    Close();
    return;
  }
  if (!S_ISREG(info.st_mode)) {
    const bool directory = S_ISDIR(info.st_mode);
    error_ = directory ? kDirectory : kNotRegular;
    fault_ = directory ? OpenFault::kDirectory : OpenFault::kNotRegular;
    Close();
    return;
  }
  length_ = static_cast<long long>(info.st_size);
}

InputFile::~InputFile() { Close(); }

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool InputFile::ReadAll(std::vector<std::uint8_t>& out) {
  if (length_ < 0 || fd_ < 0 || !AllocateExactly(out, length_)) return false;
  std::size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::pread(fd_, out.data() + got, out.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? std::strerror(errno) : "the file is shorter than its length";
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  Close();
  return got == out.size();
}

#else

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::is_regular_file(status)) {
    const bool missing = status.type() == std::filesystem::file_type::not_found;
    const bool directory = std::filesystem::is_directory(status);
    error_ = ec && !missing ? ec.message() : missing ? "not found" : directory ? kDirectory : kNotRegular;
    fault_ = missing     ? OpenFault::kNotFound
             : directory ? OpenFault::kDirectory
             : ec        ? (ec == std::errc::permission_denied ? OpenFault::kPermissionDenied : OpenFault::kOther)
                         : OpenFault::kNotRegular;
    return;
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    error_ = ec.message();
    fault_ = ec == std::errc::permission_denied ? OpenFault::kPermissionDenied : OpenFault::kOther;
    return;
  }
  length_ = static_cast<long long>(size);
}

InputFile::~InputFile() = default;

void InputFile::Close() {}

bool InputFile::ReadAll(std::vector<std::uint8_t>& out) {
  if (length_ < 0 || !AllocateExactly(out, length_)) return false;
  std::ifstream stream(path_, std::ios::binary);
  stream.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(length_));
  const bool whole = stream.gcount() == static_cast<std::streamsize>(length_);
  if (!whole) error_ = "the file could not be read whole";
  return whole;
}

#endif

}  // namespace corvane
