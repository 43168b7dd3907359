// The device-paced block transfer: block 0 at once, one block per BlockRequest, then the end
// frame, then the device's verdict.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "completion_notices.h"
#include "disconnector.h"
#include "scrambler.h"
#include "sender.h"
#include "timer.h"
#include "transfer_handlers.h"
#include "update_file.h"
#include "view.h"

namespace corvane {

class BlockTransfer : public TransferHandlers {
 public:
  BlockTransfer(View& view, Timer& responseTimer, RequestSender& sender, Disconnector& disconnector,
                CompletionNotices& notices, RandomSource& random);

  // Commit a checked file (kind, header, image; length <= kImageBufferSize, a whole number of
  // blocks) and send block 0 with timeout 40: TransferStep(true, 40).
  void BeginFirmware(const FirmwareHeader& header, const std::uint8_t* file, std::size_t length);
  void BeginDataMap(const DataMapHeader& header, const std::uint8_t* file, std::size_t length);

  void TransferStep(bool start, std::uint8_t timeoutMs);
  void SendEndFrame(TransferKind kind);

  void HandleBlockRequest(const std::uint8_t* frame) override;
  void HandleTimeoutUpdate(const std::uint8_t* frame) override;
  void HandleFirmwareResult(const std::uint8_t* frame) override;
  void HandleDataMapResult(const std::uint8_t* frame) override;

  std::uint32_t BlockCount() const { return blockCount_; }
  std::uint32_t NextBlock() const { return nextBlock_; }
  TransferKind Kind() const { return transferKind_; }
  const FirmwareHeader& Firmware() const { return firmwareHeader_; }
  const DataMapHeader& DataMap() const { return dataMapHeader_; }

 private:
  View& view_;
  Timer& responseTimer_;
  RequestSender& sender_;
  Disconnector& disconnector_;
  CompletionNotices& notices_;
  RandomSource& random_;
  std::unique_ptr<std::uint8_t[]> imageBuffer_;  // kImageBufferSize, allocated once
  std::uint32_t blockCount_ = 0;
  std::uint32_t nextBlock_ = 0;
  TransferKind transferKind_ = TransferKind::kFirmware;
  FirmwareHeader firmwareHeader_;
  DataMapHeader dataMapHeader_;
};

}  // namespace corvane
