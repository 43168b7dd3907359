// The serial ports the system has, as its own port discovery reports them (one implementation
// per OS: libudev or sysfs on Linux, QueryDosDeviceA on Windows).
#pragma once
#include <string>
#include <vector>

namespace corvane {

struct SystemPort {
  std::string name;          // as the scan opens it: "ttyUSB0", "COM3"
  std::string path;          // the device: "/dev/ttyUSB0"; on Windows the name
  bool usb = false;          // backed by a USB adapter
  std::string vendorId;      // USB ids as four hex digits ("0403"), empty when not USB
  std::string productId;
  std::string serialNumber;  // the adapter's USB serial number, when it has one
  std::string manufacturer;
  std::string description;   // the product name the adapter reports
  std::string byIdLink;      // /dev/serial/by-id/... leading to the device, when there is one
};

// In scan order: on Windows the COM names in the system's order, elsewhere USB-backed ports
// first, each group in natural order (OrderPorts). `byIdDir` is where the stable links are looked
// for (not on Windows).
std::vector<SystemPort> SystemSerialPorts(const std::string& byIdDir = "/dev/serial/by-id");

// The names of SystemSerialPorts().
std::vector<std::string> SystemSerialPortNames();

}  // namespace corvane
