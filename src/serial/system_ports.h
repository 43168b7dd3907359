// The serial ports the system has, in scan order: on Windows the COM names in the system's
// order, elsewhere USB-backed ports first, each group in natural order (OrderPorts).
#pragma once
#include <QSerialPortInfo>
#include <string>
#include <vector>

namespace corvane {

std::vector<QSerialPortInfo> SystemSerialPorts();

// The names of SystemSerialPorts(), as the scan opens them ("ttyUSB0", "COM3").
std::vector<std::string> SystemSerialPortNames();

}  // namespace corvane
