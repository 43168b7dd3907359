#include "port_path.h"

#include <filesystem>
#include <system_error>

namespace corvane {

std::string PortPath(std::string_view name) {
#if defined(_WIN32)
  return std::string(name);
#else
  if (IsPortUrl(name)) return std::string(name);
  if (name.find('/') == std::string_view::npos) return "/dev/" + std::string(name);
  if (name.front() == '/') return std::string(name);
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(name), error);
  return error ? std::string(name) : absolute.string();
#endif
}

std::string ResolvePortArgument(std::string_view name) {
#if !defined(_WIN32)
  if (IsPortUrl(name)) return std::string(name);
  std::error_code error;
  const std::string path = PortPath(name);
  if (std::filesystem::is_symlink(path, error)) {
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (!error) return target.string();
  }
#endif
  return std::string(name);
}

}  // namespace corvane
