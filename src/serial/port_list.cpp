#include "port_list.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "system_port.h"

namespace corvane {

bool IsComPortName(std::string_view name) {
  if (name.size() <= 3) return false;
  const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
  if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M') return false;
  return name.find("COM") != std::string_view::npos;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Compares the digit runs starting at a[i] and b[j] as numbers and moves past them.
int CompareNumbers(std::string_view a, std::size_t& i, std::string_view b, std::size_t& j) {
  while (i < a.size() && a[i] == '0' && i + 1 < a.size() && IsDigit(a[i + 1])) ++i;
  while (j < b.size() && b[j] == '0' && j + 1 < b.size() && IsDigit(b[j + 1])) ++j;
  std::size_t ei = i, ej = j;
  while (ei < a.size() && IsDigit(a[ei])) ++ei;
  while (ej < b.size() && IsDigit(b[ej])) ++ej;
  int order = 0;
  if (ei - i != ej - j) {
    order = ei - i < ej - j ? -1 : 1;
  } else {
    const int c = a.substr(i, ei - i).compare(b.substr(j, ej - j));
    order = c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  i = ei;
  j = ej;
  return order;
}

}  // namespace

bool NaturalPortLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const int order = CompareNumbers(a, i, b, j);
      if (order != 0) return order < 0;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
  return a < b;  // equal up to leading zeros: keep a total order
}

std::vector<std::string> OrderPorts(std::vector<FoundPort> ports) {
  std::stable_sort(ports.begin(), ports.end(), [](const FoundPort& x, const FoundPort& y) {
    if (x.usb != y.usb) return x.usb;
    return NaturalPortLess(x.name, y.name);
  });
  std::vector<std::string> names;
  names.reserve(ports.size());
  for (auto& port : ports) names.push_back(std::move(port.name));
  return names;
}

std::vector<std::string> SystemSerialPortNames() {
  std::vector<std::string> names;
  for (SystemPort& port : SystemSerialPorts()) names.push_back(std::move(port.name));
  return names;
}

SystemPortLister::SystemPortLister(std::ostream* trace) : trace_(trace) {}
SystemPortLister::SystemPortLister() : trace_(&std::cout) {}

std::vector<std::string> SystemPortLister::ListSerialPorts() {
  std::vector<std::string> names = SystemSerialPortNames();
  if (trace_) {
    for (const auto& name : names) *trace_ << name << '\n';
    trace_->flush();
  }
  return names;
}

}  // namespace corvane
