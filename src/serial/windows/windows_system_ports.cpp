// The COM ports of the system's table of MS-DOS device names, in the order it lists them.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "port_list.h"
#include "system_port.h"

namespace corvane {

namespace {
constexpr DWORD kDeviceNamesSize = 0xFFFF;  // a longer list makes the query fail: no ports
}

std::vector<SystemPort> SystemSerialPorts(const std::string& /*byIdDir*/) {  // Windows has no stable links
  std::vector<SystemPort> ports;
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  static_assert(sizeof(OSVERSIONINFOA) == 148);
  if (!GetVersionExA(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return ports;

  std::vector<char> names(kDeviceNamesSize);
  const DWORD stored = QueryDosDeviceA(nullptr, names.data(), kDeviceNamesSize);
  if (stored == 0) return ports;
  // Zero-terminated names, the list ended by an empty one; never read past what was stored.
  const char* const end = names.data() + std::min<DWORD>(stored, kDeviceNamesSize);
  for (const char* name = names.data(); name < end && *name != '\0';) {
    const std::size_t length = strnlen(name, static_cast<std::size_t>(end - name));
    const std::string_view text(name, length);
    if (IsComPortName(text)) {
      SystemPort port;
      port.name = std::string(text);
      port.path = port.name;
      ports.push_back(std::move(port));
    }
    name += length + 1;
  }
  return ports;
}

}  // namespace corvane
