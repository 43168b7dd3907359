#include "port_catalog.h"

#include <algorithm>

#include "port_access.h"
#include "system_port.h"
#include "texts.h"

namespace corvane {

std::vector<CatalogPort> ListPortCatalog(const std::string& byIdDir) {
  std::vector<CatalogPort> ports;
  for (SystemPort& found : SystemSerialPorts(byIdDir)) {
    CatalogPort port;
    port.path = std::move(found.path);
    port.description = std::move(found.description);
    port.manufacturer = std::move(found.manufacturer);
    if (!found.vendorId.empty() && !found.productId.empty()) port.usbId = found.vendorId + ":" + found.productId;
    port.serialNumber = std::move(found.serialNumber);
    port.byIdLink = std::move(found.byIdLink);
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
