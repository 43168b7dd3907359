// Every serial port the system has, in scan order, with what identifies it and its state now:
// the list `corvane-flash ports` prints.
#pragma once
#include <string>
#include <vector>

#include "open_failure.h"

namespace corvane {

struct CatalogPort {
  std::string path;         // "/dev/ttyUSB0"
  std::string description;  // from the driver or the USB descriptor; may be empty
  std::string manufacturer;
  std::string usbId;  // vendor:product in hex, "1a86:7523"; empty for a port not on USB
  std::string serialNumber;
  std::string byIdLink;  // the stable link in /dev/serial/by-id that leads to it, if any
  OpenFailure state;     // cause kNone: free (ProbePortState; the port is not opened)
};

// The system's ports in the scan's order (SystemSerialPorts), each probed now. `byIdDir` is
// where the stable links are looked for.
std::vector<CatalogPort> ListPortCatalog(const std::string& byIdDir = "/dev/serial/by-id");

// "free", "busy: minicom (pid 4242)", "no permission", "locked", or the cause text for anything
// else ("not found" for a port that went away meanwhile).
std::string PortStateText(const OpenFailure& state);

// The list as a table with a header line, one port per line and its by-id link on the line
// below; a line saying there are none when the list is empty.
std::string FormatPortCatalog(const std::vector<CatalogPort>& ports);

}  // namespace corvane
