// --demo where this system can run it: on POSIX the simulated controller on a pseudo-terminal
// with its sample files (Demo); Windows has no pseudo-terminals, so --demo is refused there.
#pragma once
#include <QString>
#include <memory>
#include <string>

namespace corvane::app {

class DemoStart {
 public:
  virtual ~DemoStart() = default;
  virtual std::string PortPath() const = 0;  // the port the scan is to try
  virtual QString Folder() const = 0;        // where the file dialog opens
};

// Starts the demo; throws std::runtime_error when it cannot.
std::unique_ptr<DemoStart> StartDemo();

// Why --demo cannot run on this system, as one line; empty where it can.
std::string DemoUnavailable();

}  // namespace corvane::app
