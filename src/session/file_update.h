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
#include "update_file_check.h"
#include "update_file_source.h"
#include "view.h"

namespace corvane {

class FileUpdate {
 public:
  // `files` gives the chosen file's bytes.
  FileUpdate(View& view, const DeviceState& device, BlockTransfer& transfer, const Link& link,
             const Disconnector& disconnector, UpdateFileSource& files);
  void UpdateFirmware();  // Button2Click
  void WriteDataMap();    // Button4Click

  using Header = UpdateFileHeader;
  struct Kind;

 private:
  void Run(const Kind& kind);
  bool AcceptFirmwareVersion(const Header& header, const std::string& path);
  bool AcceptDataVersion(const Header& header, const std::string& path);

  bool StillConnected(std::uint32_t resets) const;

  View& view_;
  const DeviceState& device_;
  BlockTransfer& transfer_;
  const Link& link_;
  const Disconnector& disconnector_;
  UpdateFileSource& files_;
};

}  // namespace corvane
