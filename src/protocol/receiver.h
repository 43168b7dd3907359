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
  // its mark bit. A record that fails its CRC changes nothing.
  bool HandleIdentifyReply(const std::uint8_t* frame);

  bool DeviceMarked() const { return deviceMarked_ != 0; }
  void ClearDeviceMarked() { deviceMarked_ = 0; }

  // The type and sequence of the last dispatched frame; nothing acts on them.
  std::uint16_t LastType() const { return lastType_; }
  std::uint16_t LastSequence() const { return lastSequence_; }
  void ClearLastFrame() { lastType_ = lastSequence_ = 0; }

 private:
  View& view_;
  DeviceReport& report_;
  TransferHandlers& transfer_;
  std::uint8_t deviceMarked_ = 0;
  std::uint16_t lastType_ = 0;
  std::uint16_t lastSequence_ = 0;
};

}  // namespace corvane
