// The two update buttons: pick a file, check it against the connected device, start the transfer.
#pragma once
#include "block_transfer.h"
#include "device_state.h"
#include "view.h"

namespace corvane {

class FileUpdate {
 public:
  FileUpdate(View& view, const DeviceState& device, BlockTransfer& transfer);
  void UpdateFirmware();  // Button2Click
  void WriteDataMap();    // Button4Click

 private:
  View& view_;
  const DeviceState& device_;
  BlockTransfer& transfer_;
};

}  // namespace corvane
