#include "input_file.h"

#include <new>

namespace corvane {

InputFile::InputFile(const std::string& path) : stream_(path, std::ios::binary | std::ios::in) {
  if (!stream_.is_open()) return;
  stream_.seekg(0, std::ios::end);
  const std::streamoff end = stream_.tellg();
  if (stream_.good() && end >= 0) length_ = static_cast<long long>(end);
}

bool InputFile::ReadAll(std::vector<std::uint8_t>& out) {
  if (length_ < 0 || !stream_.is_open()) return false;
  try {
    out.assign(static_cast<std::size_t>(length_), 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  stream_.seekg(0, std::ios::beg);
  if (!stream_.good()) return false;
  stream_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(length_));
  const bool whole = stream_.gcount() == static_cast<std::streamsize>(length_);
  stream_.close();
  return whole;
}

}  // namespace corvane
