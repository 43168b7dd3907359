#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

#include "input_file.h"

namespace corvane::pack {
namespace {

std::string Reason() { return std::strerror(errno); }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

ReadStatus ReadWholeFile(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& data,
                         std::string& error) {
  data.clear();
  InputFile file(path);  // a regular file only, never a blocking open
  if (file.Length() < 0) {
    error = file.Error();
    return ReadStatus::kFailed;
  }
  if (static_cast<unsigned long long>(file.Length()) > maxSize) return ReadStatus::kTooLarge;
  if (!file.ReadAll(data)) {
    error = file.Error().empty() ? "read failed" : file.Error();
    return ReadStatus::kFailed;
  }
  return ReadStatus::kOk;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& data, std::string& error) {
  // "x": create exclusively, so a name that another process just took is never overwritten.
  std::mt19937 names(std::random_device{}());
  std::string temporary;
  std::FILE* file = nullptr;
  for (int attempt = 0; attempt < 100 && file == nullptr; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".tmp%08x", static_cast<unsigned>(names()));
    temporary = path + suffix;
    file = std::fopen(temporary.c_str(), "wbx");
    if (file == nullptr && errno != EEXIST) break;
  }
  if (file == nullptr) {
    error = "cannot create a temporary file beside it: " + Reason();
    return false;
  }

  bool ok = std::fwrite(data.data(), 1, data.size(), file) == data.size();
  ok = std::fflush(file) == 0 && ok;
  if (!ok) error = Reason();
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    error = Reason();
  }
  if (ok) {
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
      ok = false;
      error = ec.message();
    }
  }
  if (!ok) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
  }
  return ok;
}

}  // namespace corvane::pack
