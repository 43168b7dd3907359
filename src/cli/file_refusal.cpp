#include "file_refusal.h"

#include "update_file.h"
#include "update_file_check.h"

namespace corvane::cli {
namespace {

std::string Bytes(long long length) { return std::to_string(length) + (length == 1 ? " byte" : " bytes"); }

std::string WithReason(const char* what, const std::string& error) {
  return error.empty() ? what : std::string(what) + " (" + error + ")";
}

std::string Cause(const FileRead& read) {
  switch (read.fault) {
    case FileFault::kNotFound: return "no such file";
    case FileFault::kPermissionDenied: return "permission denied";
    case FileFault::kDirectory: return "it is a directory";
    case FileFault::kNotRegular: return "not a regular file (a FIFO, a device or a socket)";
    case FileFault::kUnopenable: return WithReason("it cannot be opened", read.error);
    case FileFault::kEmpty: return "the file is empty";
    case FileFault::kTooShort:
      return Bytes(read.length) + ", shorter than the " + std::to_string(kMinUpdateFileSize) +
             " bytes of an update file";
    case FileFault::kNotWholeBlocks:
      return Bytes(read.length) + ", not a whole number of " + std::to_string(kBlockSize) + "-byte blocks";
    case FileFault::kTooLarge:
      return Bytes(read.length) + ", larger than the " + std::to_string(kImageBufferSize) +
             " bytes a device takes";
    case FileFault::kReadFailed: return WithReason("it could not be read", read.error);
    case FileFault::kNone: break;
  }
  return "it cannot be read";
}

}  // namespace

std::optional<std::string> RefuseUpdateFile(TransferKind kind, const std::string& path, UpdateFileSource& files) {
  const char* const what = kind == TransferKind::kFirmware ? "The firmware file " : "The data map file ";
  const FileRead read = files.Read(path);
  if (read.status != FileReadStatus::kOk || !read.bytes) return what + path + " cannot be sent: " + Cause(read) + ".";
  if (!DecodeUpdateHeader(kind, read.bytes->data(), read.bytes->size()))
    return what + path + " cannot be sent: its header is corrupted (a header block fails its check).";
  return std::nullopt;
}

}  // namespace corvane::cli
