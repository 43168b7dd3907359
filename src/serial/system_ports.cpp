#include "system_ports.h"

#include <map>

#include "port_list.h"

namespace corvane {

std::vector<QSerialPortInfo> SystemSerialPorts() {
  const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
#if defined(_WIN32)
  std::vector<QSerialPortInfo> ports;
  for (const QSerialPortInfo& info : available)
    if (IsComPortName(info.portName().toStdString())) ports.push_back(info);
  return ports;
#else
  std::vector<FoundPort> found;
  std::multimap<std::string, QSerialPortInfo> byName;
  for (const QSerialPortInfo& info : available) {
    const QString name = info.portName();
    const bool usb = info.hasVendorIdentifier() || name.startsWith(QLatin1String("ttyUSB")) ||
                     name.startsWith(QLatin1String("ttyACM"));
    found.push_back({name.toStdString(), usb});
    byName.emplace(name.toStdString(), info);
  }
  std::vector<QSerialPortInfo> ports;
  ports.reserve(found.size());
  for (const std::string& name : OrderPorts(std::move(found))) {
    const auto it = byName.find(name);
    ports.push_back(it->second);
    byName.erase(it);
  }
  return ports;
#endif
}

std::vector<std::string> SystemSerialPortNames() {
  std::vector<std::string> names;
  for (const QSerialPortInfo& info : SystemSerialPorts()) names.push_back(info.portName().toStdString());
  return names;
}

}  // namespace corvane
