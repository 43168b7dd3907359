// The serial ports to scan: those the system reports, or exactly those chosen on the command line.
#pragma once
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "link.h"

namespace corvane {

// The Windows rule for a serial device name: more than 3 characters, the first three C, O, M in
// any case, and the upper-case text "COM" somewhere in it.
bool IsComPortName(std::string_view name);

// Natural order of port names: runs of digits compare as numbers (ttyS2 before ttyS10).
bool NaturalPortLess(std::string_view a, std::string_view b);

struct FoundPort {
  std::string name;
  bool usb = false;
};

// USB-backed ports first, each group in natural order.
std::vector<std::string> OrderPorts(std::vector<FoundPort> ports);

// The system's serial ports. On Windows the COM names in the system's order, elsewhere in the
// order of OrderPorts. Each name found is written to `trace` (standard output by default) on a
// line of its own; a null `trace` keeps it quiet.
class SystemPortLister : public PortLister {
 public:
  explicit SystemPortLister(std::ostream* trace);
  SystemPortLister();
  std::vector<std::string> ListSerialPorts() override;

 private:
  std::ostream* trace_;
};

// Exactly the given ports, in the given order, whatever the system has.
class ChosenPortLister : public PortLister {
 public:
  explicit ChosenPortLister(std::vector<std::string> ports) : ports_(std::move(ports)) {}
  std::vector<std::string> ListSerialPorts() override { return ports_; }

 private:
  std::vector<std::string> ports_;
};

}  // namespace corvane
