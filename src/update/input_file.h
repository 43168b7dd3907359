// An update file opened read-only: its length, then one whole read. Only a regular file is
// opened, and never in a way that can block: a FIFO, a device or a socket named as an update
// file is refused at once, like a file that cannot be opened.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// A UTF-8 path as the system names it (UTF-16 on Windows), so that any file name can be opened.
std::filesystem::path PathFromUtf8(std::string_view utf8);
// The absolute form of a UTF-8 path, in UTF-8; the path as given when it cannot be made absolute.
std::string AbsoluteUtf8(std::string_view utf8);

// Why a file could not be opened as an update file.
enum class OpenFault { kNone, kNotFound, kPermissionDenied, kDirectory, kNotRegular, kOther };

class InputFile {
 public:
  explicit InputFile(const std::filesystem::path& path);
  explicit InputFile(const std::string& utf8Path) : InputFile(PathFromUtf8(utf8Path)) {}
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // The file's length in bytes, or -1 when it could not be opened or is not a regular file.
  long long Length() const { return length_; }
  // Why the open or the read failed, for messages ("not a regular file", the system's reason).
  const std::string& Error() const { return error_; }
  OpenFault Fault() const { return fault_; }

  // Reads the whole file into `out` (exactly Length() bytes). False on any failure: a read
  // error, fewer bytes than the length, or no memory for the buffer. Closes the file.
  bool ReadAll(std::vector<std::uint8_t>& out);

 private:
  void Close();

  std::filesystem::path path_;
  int fd_ = -1;  // POSIX: the open descriptor
  long long length_ = -1;
  std::string error_;
  OpenFault fault_ = OpenFault::kNone;
};

}  // namespace corvane
