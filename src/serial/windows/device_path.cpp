#include "device_path.h"

namespace corvane {

std::optional<std::string> DevicePath(std::string_view name) {
  std::string path;
  if (name.size() > 4) path = "\\\\.\\";
  path += name;
  if (path.size() > kMaxDevicePath) return std::nullopt;
  return path;
}

}  // namespace corvane
