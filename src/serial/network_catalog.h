// A port on another machine (a port URL) as `corvane-flash ports` lists it: its kind and whether
// its server can be reached now.
#pragma once
#include <string>

#include "port_catalog.h"

namespace corvane {

// The URL as the port's path, "RFC 2217" or "raw TCP" as its description, and its state: free
// when the server took the connection, else why not (host not found, connection refused, timed
// out, the server's own words when it turned the connection away). Where network ports are not
// served, the state says so.
CatalogPort NetworkCatalogPort(const std::string& url);

}  // namespace corvane
