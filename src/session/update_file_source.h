// Where the update buttons get a chosen file's bytes from. The window reads the file afresh on
// every press; several sessions updating devices side by side share one read of it, and so one
// copy of its bytes.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

enum class FileReadStatus {
  kOk,
  kCorrupted,   // cannot be opened, not a regular file, shorter than 256 bytes or not whole blocks
  kTooLarge,    // larger than ImageBuffer; refused before anything is read
  kReadFailed,  // the read failed or came up short, or no memory for the buffer
};

// What exactly kept a file from being read, for messages in plain words (the window shows only
// its status's text).
enum class FileFault {
  kNone,
  kNotFound,
  kPermissionDenied,
  kDirectory,
  kNotRegular,  // a FIFO, a device, a socket
  kUnopenable,  // any other reason it could not be opened (in `error`)
  kEmpty,
  kTooShort,       // fewer than 256 bytes
  kNotWholeBlocks,
  kTooLarge,
  kReadFailed,  // the read failed or came up short (in `error`)
};

struct FileRead {
  FileReadStatus status = FileReadStatus::kCorrupted;
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;  // the whole file when kOk
  FileFault fault = FileFault::kNone;
  long long length = -1;  // when it could be opened
  std::string error;      // the system's reason, where there is one
};

// Reads an update file whole with the length checks of the update buttons, in their order.
FileRead ReadUpdateFile(const std::string& path);

class UpdateFileSource {
 public:
  virtual ~UpdateFileSource() = default;
  virtual FileRead Read(const std::string& path) = 0;
};

// Reads the file from disk on every call.
class DiskFileSource final : public UpdateFileSource {
 public:
  FileRead Read(const std::string& path) override { return ReadUpdateFile(path); }
};

// Reads each path once; every later call gets the same result, and the same buffer. Used from
// one thread (the window thread of the sessions that share it).
class SharedFileSource final : public UpdateFileSource {
 public:
  FileRead Read(const std::string& path) override;
  // What the path gave when it was read, or nothing when it has not been read yet.
  const FileRead* Cached(const std::string& path) const;

 private:
  std::map<std::string, FileRead> reads_;
};

}  // namespace corvane
