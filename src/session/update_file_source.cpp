#include "update_file_source.h"

#include "input_file.h"
#include "update_file.h"

namespace corvane {

namespace {

FileFault FaultOfOpen(OpenFault fault) {
  switch (fault) {
    case OpenFault::kNotFound: return FileFault::kNotFound;
    case OpenFault::kPermissionDenied: return FileFault::kPermissionDenied;
    case OpenFault::kDirectory: return FileFault::kDirectory;
    case OpenFault::kNotRegular: return FileFault::kNotRegular;
    case OpenFault::kNone:
    case OpenFault::kOther: break;
  }
  return FileFault::kUnopenable;
}

FileFault FaultOfLength(long long length) {
  if (length == 0) return FileFault::kEmpty;
  if (length < static_cast<long long>(kMinUpdateFileSize)) return FileFault::kTooShort;
  return FileFault::kNotWholeBlocks;
}

}  // namespace

FileRead ReadUpdateFile(const std::string& path) {
  InputFile file(path);
  const long long length = file.Length();
  if (length < 0) return {FileReadStatus::kCorrupted, nullptr, FaultOfOpen(file.Fault()), length, file.Error()};
  if (!IsValidUpdateLength(length)) return {FileReadStatus::kCorrupted, nullptr, FaultOfLength(length), length, {}};
  if (static_cast<unsigned long long>(length) > kImageBufferSize)
    return {FileReadStatus::kTooLarge, nullptr, FileFault::kTooLarge, length, {}};
  auto bytes = std::make_shared<std::vector<std::uint8_t>>();
  if (!file.ReadAll(*bytes)) return {FileReadStatus::kReadFailed, nullptr, FileFault::kReadFailed, length, file.Error()};
  return {FileReadStatus::kOk, std::move(bytes), FileFault::kNone, length, {}};
}

FileRead SharedFileSource::Read(const std::string& path) {
  const auto found = reads_.find(path);
  if (found != reads_.end()) return found->second;
  return reads_.emplace(path, ReadUpdateFile(path)).first->second;
}

const FileRead* SharedFileSource::Cached(const std::string& path) const {
  const auto found = reads_.find(path);
  return found == reads_.end() ? nullptr : &found->second;
}

}  // namespace corvane
