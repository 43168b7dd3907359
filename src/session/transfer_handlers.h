// The received frames that belong to a block transfer, routed here by the dispatcher.
#pragma once
#include <cstdint>

#include "scrambler.h"

namespace corvane {

class TransferHandlers {
 public:
  virtual ~TransferHandlers() = default;
  virtual void HandleBlockRequest(const std::uint8_t* frame) = 0;
  virtual void HandleTimeoutUpdate(const std::uint8_t* frame) = 0;
  // FirmwareResult (kFirmware) or DataMapResult (kDataMap).
  virtual void HandleResult(TransferKind kind, const std::uint8_t* frame) = 0;
};

}  // namespace corvane
