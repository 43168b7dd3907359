// Where ports on other machines are not served (Windows, for now).
#include "network_catalog.h"

namespace corvane {

CatalogPort NetworkCatalogPort(const std::string& url) {
  CatalogPort port;
  port.path = url;
  port.state.result = OpenResult::kOpenFailed;
  port.state.cause = OpenCause::kIoError;
  port.state.detail = "network ports are not supported on this system";
  return port;
}

}  // namespace corvane
