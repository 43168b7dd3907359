// An update file opened read-only: its length taken by seeking to its end, then one whole read.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace corvane {

class InputFile {
 public:
  explicit InputFile(const std::string& path);

  // The file's length in bytes, or -1 when it could not be opened or measured.
  long long Length() const { return length_; }

  // Reads the whole file into `out` (exactly Length() bytes). False on any failure: a read
  // error, fewer bytes than the length, or no memory for the buffer. Closes the file.
  bool ReadAll(std::vector<std::uint8_t>& out);

 private:
  std::ifstream stream_;
  long long length_ = -1;
};

}  // namespace corvane
