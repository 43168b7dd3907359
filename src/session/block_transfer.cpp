#include "block_transfer.h"

#include <cstring>

#include "bytes.h"
#include "texts.h"

namespace corvane {

namespace {

constexpr std::uint8_t kFirstBlockTimeoutMs = 40;
constexpr std::uint8_t kEndFrameTimeoutMs = 100;

// The commit of a new transfer accepts only what fits ImageBuffer as whole blocks.
bool FitsImageBuffer(std::size_t length) {
  return length > 0 && length <= kImageBufferSize && length % kBlockSize == 0;
}

}  // namespace

BlockTransfer::BlockTransfer(View& view, Timer& responseTimer, RequestSender& sender, Disconnector& disconnector,
                             CompletionNotices& notices, RandomSource& random)
    : view_(view),
      responseTimer_(responseTimer),
      sender_(sender),
      disconnector_(disconnector),
      notices_(notices),
      random_(random),
      // Left uninitialised: only blocks below BlockCount are ever read, and those were written.
      imageBuffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kImageBufferSize)) {}

void BlockTransfer::BeginFirmware(const FirmwareHeader& header, const std::uint8_t* file, std::size_t length) {
  if (!FitsImageBuffer(length)) return;
  transferKind_ = TransferKind::kFirmware;
  firmwareHeader_ = header;
  std::memcpy(imageBuffer_.get(), file, length);
  blockCount_ = static_cast<std::uint32_t>(length / kBlockSize);
  TransferStep(true, kFirstBlockTimeoutMs);
  view_.ReportOutcome(Outcome::kTransferStarted);
}

void BlockTransfer::BeginDataMap(const DataMapHeader& header, const std::uint8_t* file, std::size_t length) {
  if (!FitsImageBuffer(length)) return;
  transferKind_ = TransferKind::kDataMap;
  dataMapHeader_ = header;
  std::memcpy(imageBuffer_.get(), file, length);
  blockCount_ = static_cast<std::uint32_t>(length / kBlockSize);
  TransferStep(true, kFirstBlockTimeoutMs);
  view_.ReportOutcome(Outcome::kTransferStarted);
}

void BlockTransfer::TransferStep(bool start, std::uint8_t timeoutMs) {
  if (start) nextBlock_ = 0;
  // No update loaded yet: nothing to send and no percentage to compute.
  if (blockCount_ != 0) {
    if (nextBlock_ < blockCount_) {
      sender_.SendRequest(imageBuffer_.get() + std::size_t{nextBlock_} * kBlockSize, kBlockSize, timeoutMs);
    }
    // Multiplied before dividing, so the truncation is exact: 29 of 100 blocks shows 29, where
    // (29 / 100.0) * 100 would give 28.999... and show 28. Past the end frame it holds at 100.
    const double percent = static_cast<double>(nextBlock_) * 100.0 / static_cast<double>(blockCount_);
    view_.SetGauge(percent >= 100.0 ? 100 : static_cast<int>(percent));
    if (nextBlock_ == blockCount_) SendEndFrame(transferKind_);
  }
  ++nextBlock_;
}

void BlockTransfer::SendEndFrame(TransferKind kind) {
  const std::uint32_t closingValue =
      kind == TransferKind::kFirmware ? firmwareHeader_.ClosingValue() : dataMapHeader_.ClosingValue();
  const Frame frame = BuildEndFrame(kind, closingValue, random_);
  sender_.SendRequest(frame.data(), frame.size(), kEndFrameTimeoutMs);
}

void BlockTransfer::HandleBlockRequest(const std::uint8_t* frame) {
  const std::uint16_t interval = ReadBe16(frame + kIntervalOffset);
  responseTimer_.Start(interval);
  // The step's timeout is 8 bits wide: a block sent now re-arms Timer2 with the low byte only.
  TransferStep(false, static_cast<std::uint8_t>(interval & 0xFF));
}

void BlockTransfer::HandleTimeoutUpdate(const std::uint8_t* frame) { responseTimer_.Start(ReadBe16(frame + kTimeoutOffset)); }

void BlockTransfer::HandleFirmwareResult(const std::uint8_t* frame) {
  disconnector_.ResetToDisconnected();
  // The sound flag goes up before the box, so Timer3 plays it while the box is open.
  if (frame[kVerdictOffset] == 1) {
    notices_.RaiseReady();
    view_.ReportOutcome(Outcome::kUpdateSucceeded);
    view_.ShowBox(texts::kFirmwareSuccess, texts::kOkCaption, BoxButtons::kOk);
  } else {
    notices_.RaiseFailed();
    view_.ReportOutcome(Outcome::kUpdateFailed);
    view_.ShowBox(texts::kFirmwareFailure, texts::kErrorVerdictCaption, BoxButtons::kOk);
  }
  view_.SetGauge(0);
}

void BlockTransfer::HandleDataMapResult(const std::uint8_t* frame) {
  disconnector_.ResetToDisconnected();
  if (frame[kVerdictOffset] == 1) {
    view_.ReportOutcome(Outcome::kUpdateSucceeded);
    view_.ShowBox(texts::kDataMapSuccess, texts::kOkCaption, BoxButtons::kOk);
  } else {
    view_.ReportOutcome(Outcome::kUpdateFailed);
    view_.ShowBox(texts::kDataMapFailure, texts::kErrorVerdictCaption, BoxButtons::kOk);
  }
  view_.SetGauge(0);
}

}  // namespace corvane
