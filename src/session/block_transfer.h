// The device-paced block transfer: block 0 at once, one block per BlockRequest, then the end
// frame, then the device's verdict. Firmware images and data maps differ only in their kind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "completion_notices.h"
#include "disconnector.h"
#include "scrambler.h"
#include "sender.h"
#include "timer.h"
#include "transfer_handlers.h"
#include "view.h"

namespace corvane {

// A checked update file, ready to be sent: its kind, the closing value its end frame carries,
// and all of its bytes (a whole number of blocks, at most kImageBufferSize). The bytes are
// shared, never written: sessions that send one file to several devices hold one copy of it.
struct UpdateImage {
  TransferKind kind = TransferKind::kFirmware;
  std::uint32_t closingValue = 0;
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;
};

class BlockTransfer : public TransferHandlers {
 public:
  BlockTransfer(View& view, Timer& responseTimer, RequestSender& sender, Disconnector& disconnector,
                CompletionNotices& notices, RandomSource& random);

  // Keeps the image (its bytes are not copied) and sends block 0 with timeout 40:
  // TransferStep(true, 40). An image that is empty, not whole blocks or too large is ignored.
  // The update buttons are disabled until the connection ends: a second file's block 0 sent into
  // the middle of this image would corrupt it.
  void Begin(UpdateImage image);
  // A new connection begins: a transfer of an earlier one is over, whatever its device says.
  void Abandon() { live_ = false; }
  // A transfer of this connection runs and awaits its verdict: only then do BlockRequests send
  // anything and can a verdict be a success.
  bool Live() const { return live_ && disconnector_.Resets() == resetsAtBegin_; }

  void TransferStep(bool start, std::uint16_t timeoutMs);
  void SendEndFrame();

  void HandleBlockRequest(const std::uint8_t* frame) override;
  void HandleTimeoutUpdate(const std::uint8_t* frame) override;
  void HandleResult(TransferKind kind, const std::uint8_t* frame) override;

  // The end frame of the transfer now loaded has gone out; only then can a verdict be a success.
  bool EndFrameSent() const { return endFrameSent_; }
  std::uint32_t BlockCount() const { return blockCount_; }
  std::uint32_t NextBlock() const { return nextBlock_; }
  TransferKind Kind() const { return image_.kind; }
  std::uint32_t ClosingValue() const { return image_.closingValue; }

 private:
  View& view_;
  Timer& responseTimer_;
  RequestSender& sender_;
  Disconnector& disconnector_;
  CompletionNotices& notices_;
  RandomSource& random_;
  UpdateImage image_;
  std::uint32_t blockCount_ = 0;
  std::uint32_t nextBlock_ = 0;
  bool endFrameSent_ = false;
  bool live_ = false;
  std::uint32_t resetsAtBegin_ = 0;  // the disconnector's count when the transfer began
};

}  // namespace corvane
