#include "update_file_source.h"

#include "input_file.h"
#include "update_file.h"

namespace corvane {

FileRead ReadUpdateFile(const std::string& path) {
  InputFile file(path);
  const long long length = file.Length();
  if (!IsValidUpdateLength(length)) return {FileReadStatus::kCorrupted, nullptr};
  if (static_cast<unsigned long long>(length) > kImageBufferSize) return {FileReadStatus::kTooLarge, nullptr};
  auto bytes = std::make_shared<std::vector<std::uint8_t>>();
  if (!file.ReadAll(*bytes)) return {FileReadStatus::kReadFailed, nullptr};
  return {FileReadStatus::kOk, std::move(bytes)};
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
