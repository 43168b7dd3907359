// DispatchFrame: routes each checked frame by its type code; handles the identification reply.
#pragma once
#include <cstdint>

#include "device_report.h"
#include "transfer_handlers.h"
#include "view.h"

namespace corvane {

class Receiver {
 public:
  Receiver(View& view, DeviceReport& report, TransferHandlers& transfer);

  // `frame` passed CheckFrame and holds 64 readable bytes (shorter chunks padded by the caller).
  void DispatchFrame(const std::uint8_t* frame);
  // Unscrambles and checks the record; on success reports the device and colours the window by
  // its mark bit. A record that fails its CRC changes nothing of the window; it is reported as
  // Outcome::kRecordRejected.
  bool HandleIdentifyReply(const std::uint8_t* frame);

  bool DeviceMarked() const { return deviceMarked_ != 0; }
  void ClearDeviceMarked() { deviceMarked_ = 0; }

 private:
  View& view_;
  DeviceReport& report_;
  TransferHandlers& transfer_;
  std::uint8_t deviceMarked_ = 0;
};

}  // namespace corvane
