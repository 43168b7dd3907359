// The system's serial ports on Linux: the tty devices that have a driver behind them (libudev's
// list where the library is there, /sys/class/tty otherwise), without the serial-core ports that
// have no UART (type 0: the ttyS entries a PC reserves), each with what its USB adapter says of
// itself, read from sysfs.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "port_list.h"
#include "system_port.h"
#if defined(CORVANE_HAVE_LIBUDEV)
#include <libudev.h>
#endif

namespace corvane {
namespace {

namespace fs = std::filesystem;

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string value;
  std::getline(in, value);
  while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
  return value;
}

// The /sys/class/tty/<name> folders of the tty devices.
std::vector<fs::path> TtyFolders() {
  std::vector<fs::path> folders;
#if defined(CORVANE_HAVE_LIBUDEV)
  if (udev* context = ::udev_new()) {
    udev_enumerate* enumerate = ::udev_enumerate_new(context);
    ::udev_enumerate_add_match_subsystem(enumerate, "tty");
    ::udev_enumerate_scan_devices(enumerate);
    for (udev_list_entry* entry = ::udev_enumerate_get_list_entry(enumerate); entry;
         entry = ::udev_list_entry_get_next(entry))
      folders.emplace_back(::udev_list_entry_get_name(entry));
    ::udev_enumerate_unref(enumerate);
    ::udev_unref(context);
    if (!folders.empty()) return folders;
  }
#endif
  std::error_code error;
  for (fs::directory_iterator it("/sys/class/tty", error), end; !error && it != end; it.increment(error))
    folders.push_back(it->path());
  return folders;
}

// A tty with a device behind it (not a virtual console or pseudo-terminal), and for serial-core
// ports one that has a UART.
bool IsSerialPort(const fs::path& folder) {
  std::error_code error;
  if (!fs::exists(folder / "device", error)) return false;
  const fs::path type = folder / "type";
  return !fs::exists(type, error) || ReadAttribute(type) != "0";
}

// The USB device (a folder with idVendor) above the tty, a few levels up at most.
fs::path UsbDevice(const fs::path& folder) {
  std::error_code error;
  fs::path at = fs::canonical(folder / "device", error);
  for (int level = 0; !error && level < 4 && at.has_relative_path(); ++level, at = at.parent_path())
    if (fs::exists(at / "idVendor", error)) return at;
  return {};
}

std::map<std::string, std::string> ByIdLinks(const std::string& dir) {
  std::map<std::string, std::string> byTarget;
  std::error_code error;
  std::vector<fs::path> links;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
    links.push_back(it->path());
  std::sort(links.begin(), links.end());
  for (const fs::path& link : links) {
    const fs::path target = fs::canonical(link, error);
    if (!error) byTarget.emplace(target.string(), link.string());
  }
  return byTarget;
}

}  // namespace

std::vector<SystemPort> SystemSerialPorts(const std::string& byIdDir) {
  const std::map<std::string, std::string> links = ByIdLinks(byIdDir);
  std::vector<FoundPort> found;
  std::map<std::string, SystemPort> byName;
  for (const fs::path& folder : TtyFolders()) {
    if (!IsSerialPort(folder)) continue;
    SystemPort port;
    port.name = folder.filename().string();
    port.path = "/dev/" + port.name;
    if (const fs::path usb = UsbDevice(folder); !usb.empty()) {
      port.usb = true;
      port.vendorId = ReadAttribute(usb / "idVendor");
      port.productId = ReadAttribute(usb / "idProduct");
      port.serialNumber = ReadAttribute(usb / "serial");
      port.manufacturer = ReadAttribute(usb / "manufacturer");
      port.description = ReadAttribute(usb / "product");
    }
    port.usb = port.usb || port.name.starts_with("ttyUSB") || port.name.starts_with("ttyACM");
    if (const auto link = links.find(port.path); link != links.end()) port.byIdLink = link->second;
    found.push_back({port.name, port.usb});
    byName.emplace(port.name, std::move(port));
  }
  std::vector<SystemPort> ports;
  for (const std::string& name : OrderPorts(std::move(found))) ports.push_back(std::move(byName.at(name)));
  return ports;
}

}  // namespace corvane
