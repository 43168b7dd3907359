#include "network_catalog.h"

#include "network_port.h"

namespace corvane {

CatalogPort NetworkCatalogPort(const std::string& url) {
  CatalogPort port;
  port.path = url;
  port.description = NetworkPortKind(url);
  port.state = ProbeNetworkPort(url);
  return port;
}

}  // namespace corvane
