// Windows has no pseudo-terminals for the demo's simulated controller.
#include <stdexcept>

#include "demo_start.h"

namespace corvane::app {

std::unique_ptr<DemoStart> StartDemo() { throw std::runtime_error(DemoUnavailable()); }

std::string DemoUnavailable() {
  return "--demo needs a pseudo-terminal for its simulated controller, which Windows does not have; "
         "connect a controller and use --port COMn";
}

}  // namespace corvane::app
