// corvane-flash ports: the serial ports with what identifies them and their state now, probed
// without opening them (an attached board is not reset).
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "port_catalog.h"

namespace corvane::cli {

// `given` empty: every system port in scan order; otherwise exactly these, in the order given,
// each resolved as the scan would open it and probed (a port that is missing says "not found").
std::vector<CatalogPort> CatalogOf(const std::vector<std::string>& given);

// Writes the table to `out`; the exit status is 0 even when there are no ports.
void ListPorts(const std::vector<std::string>& given, std::ostream& out);

}  // namespace corvane::cli
