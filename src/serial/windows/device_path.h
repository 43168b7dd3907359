// The device path that CreateFileA is given for a port name.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The longest device path a port is opened by.
inline constexpr std::size_t kMaxDevicePath = 15;

// The name itself when it has at most 4 characters (COM1 ... COM9), else "\\.\" followed by the
// name (COM10 and above, any longer name). Empty when the name is too long for kMaxDevicePath.
std::optional<std::string> DevicePath(std::string_view name);

}  // namespace corvane
