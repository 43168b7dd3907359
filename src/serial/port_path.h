// Where a port name leads: a name that is a path is opened as given (made absolute), any other
// name is a device under /dev. On Windows the name goes to the system unchanged.
#pragma once
#include <string>
#include <string_view>

namespace corvane {

std::string PortPath(std::string_view name);

}  // namespace corvane
