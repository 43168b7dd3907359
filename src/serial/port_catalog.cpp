#include "port_catalog.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "port_access.h"
#include "system_ports.h"
#include "texts.h"

namespace corvane {

namespace {

// Each device that a link in `dir` leads to, with that link (the first in name order).
std::map<std::string, std::string> LinksByTarget(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<fs::path> links;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
    links.push_back(it->path());
  std::sort(links.begin(), links.end());
  std::map<std::string, std::string> byTarget;
  for (const fs::path& link : links) {
    const fs::path target = fs::canonical(link, error);
    if (!error) byTarget.emplace(target.string(), link.string());
  }
  return byTarget;
}

std::string UsbId(const QSerialPortInfo& info) {
  if (!info.hasVendorIdentifier() || !info.hasProductIdentifier()) return {};
  char id[16];
  std::snprintf(id, sizeof id, "%04x:%04x", info.vendorIdentifier(), info.productIdentifier());
  return id;
}

}  // namespace

std::vector<CatalogPort> ListPortCatalog(const std::string& byIdDir) {
  const std::map<std::string, std::string> links = LinksByTarget(byIdDir);
  std::vector<CatalogPort> ports;
  for (const QSerialPortInfo& info : SystemSerialPorts()) {
    CatalogPort port;
    port.path = info.systemLocation().toStdString();
    port.description = info.description().toStdString();
    port.manufacturer = info.manufacturer().toStdString();
    port.usbId = UsbId(info);
    port.serialNumber = info.serialNumber().toStdString();
    std::error_code error;
    const std::string canonical = std::filesystem::canonical(port.path, error).string();
    if (const auto link = links.find(error ? port.path : canonical); link != links.end()) port.byIdLink = link->second;
    port.state = ProbePortState(port.path);
    ports.push_back(std::move(port));
  }
  return ports;
}

std::string PortStateText(const OpenFailure& state) {
  switch (state.cause) {
    case OpenCause::kNone:
      return texts::kPortFree;
    case OpenCause::kPermissionDenied:
      return texts::kPortNoPermission;
    case OpenCause::kLocked:
      return texts::kPortLocked;
    case OpenCause::kBusy: {
      if (state.holders.empty()) return texts::kPortBusyUnknown;
      return texts::kPortBusy + HolderList(state.holders);
    }
    default:
      return CauseText(state);
  }
}

namespace {

std::string Cell(const std::string& text) { return text.empty() ? "-" : text; }

// Characters on screen: UTF-8 continuation bytes take no column of their own.
std::size_t Columns(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void Pad(std::string& line, const std::string& text, std::size_t width) {
  line += text;
  line.append(width - Columns(text) + 2, ' ');
}

}  // namespace

std::string FormatPortCatalog(const std::vector<CatalogPort>& ports) {
  if (ports.empty()) return std::string(texts::kNoSerialPorts) + "\n";
  using Row = std::vector<std::string>;
  std::vector<Row> rows = {{texts::kColumnPort, texts::kColumnState, texts::kColumnUsbId, texts::kColumnSerial,
                            texts::kColumnManufacturer, texts::kColumnDescription}};
  for (const CatalogPort& port : ports)
    rows.push_back({port.path, PortStateText(port.state), Cell(port.usbId), Cell(port.serialNumber),
                    Cell(port.manufacturer), Cell(port.description)});
  std::vector<std::size_t> widths(rows.front().size(), 0);
  for (const Row& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Columns(row[c]));
  std::string table;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (std::size_t c = 0; c + 1 < rows[r].size(); ++c) Pad(line, rows[r][c], widths[c]);
    line += rows[r].back();
    table += line + "\n";
    if (r > 0 && !ports[r - 1].byIdLink.empty())
      table += std::string(widths[0] + 2, ' ') + texts::kByIdPrefix + ports[r - 1].byIdLink + "\n";
  }
  return table;
}

}  // namespace corvane
