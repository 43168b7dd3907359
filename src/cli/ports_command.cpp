#include "ports_command.h"

#include <algorithm>

#include "network_catalog.h"
#include "port_access.h"
#include "port_path.h"

namespace corvane::cli {

std::vector<CatalogPort> CatalogOf(const std::vector<std::string>& given) {
  std::vector<CatalogPort> system = ListPortCatalog();
  if (given.empty()) return system;
  std::vector<CatalogPort> ports;
  for (const std::string& name : given) {
    if (IsPortUrl(name)) {
      ports.push_back(NetworkCatalogPort(name));
      continue;
    }
    const std::string path = PortPath(ResolvePortArgument(name));
    const auto known = std::find_if(system.begin(), system.end(), [&path](const CatalogPort& p) { return p.path == path; });
    CatalogPort port;
    if (known != system.end()) {
      port = *known;
    } else {
      port.path = path;
      port.state = ProbePortState(path);
    }
    // A stable name given on the command line is shown with the device it leads to.
    const std::string asGiven = PortPath(name);
    if (asGiven != path) port.byIdLink = asGiven;
    ports.push_back(std::move(port));
  }
  return ports;
}

void ListPorts(const std::vector<std::string>& given, std::ostream& out) {
  out << FormatPortCatalog(CatalogOf(given));
  out.flush();
}

}  // namespace corvane::cli
