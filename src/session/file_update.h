// The two update buttons: pick a file, check it against the connected device, start the transfer.
// Firmware images and data maps run the same steps with their own texts and checks.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "block_transfer.h"
#include "device_state.h"
#include "disconnector.h"
#include "link.h"
#include "view.h"

namespace corvane {

class FileUpdate {
 public:
  FileUpdate(View& view, const DeviceState& device, BlockTransfer& transfer, const Link& link,
             const Disconnector& disconnector);
  void UpdateFirmware();  // Button2Click
  void WriteDataMap();    // Button4Click

  // What an update file's header says, whichever kind it is.
  struct Header {
    std::uint16_t deviceType = 0;
    std::uint16_t version = 0;  // firmware version, or data version
    std::uint32_t closingValue = 0;
  };
  struct Kind;

 private:
  void Run(const Kind& kind);
  std::optional<std::vector<std::uint8_t>> Read(const Kind& kind, const std::string& path);
  bool AcceptFirmwareVersion(const Header& header, const std::string& path);
  bool AcceptDataVersion(const Header& header, const std::string& path);

  bool StillConnected(std::uint32_t resets) const;

  View& view_;
  const DeviceState& device_;
  BlockTransfer& transfer_;
  const Link& link_;
  const Disconnector& disconnector_;
};

}  // namespace corvane
