#include "port_identity.h"

#include <filesystem>
#include <system_error>

#include "port_path.h"
#include "system_port.h"

namespace corvane::cli {

PortIdentity LookUpPortIdentity(const std::string& port) {
  std::error_code error;
  const std::string path = PortPath(port);
  const std::string canonical = std::filesystem::canonical(path, error).string();
  const std::string device = error ? path : canonical;
  for (const SystemPort& found : SystemSerialPorts())
    if (found.path == device) return {found.byIdLink, found.serialNumber};
  return {};
}

}  // namespace corvane::cli
