#include "block_transfer.h"

#include <string>

#include "bytes.h"
#include "frame.h"
#include "texts.h"
#include "update_file.h"

namespace corvane {

namespace {

constexpr std::uint8_t kFirstBlockTimeoutMs = 40;
constexpr std::uint8_t kEndFrameTimeoutMs = 100;

// The commit of a new transfer accepts only what fits ImageBuffer as whole blocks.
bool FitsImageBuffer(std::size_t length) {
  return length > 0 && length <= kImageBufferSize && length % kBlockSize == 0;
}

struct VerdictTexts {
  const char* success;
  const char* failure;
};

VerdictTexts TextsOf(TransferKind kind) {
  if (kind == TransferKind::kFirmware) return {texts::kFirmwareSuccess, texts::kFirmwareFailure};
  return {texts::kDataMapSuccess, texts::kDataMapFailure};
}

}  // namespace

BlockTransfer::BlockTransfer(View& view, Timer& responseTimer, RequestSender& sender, Disconnector& disconnector,
                             CompletionNotices& notices, RandomSource& random)
    : view_(view),
      responseTimer_(responseTimer),
      sender_(sender),
      disconnector_(disconnector),
      notices_(notices),
      random_(random) {}

void BlockTransfer::Begin(UpdateImage image) {
  if (!image.bytes || !FitsImageBuffer(image.bytes->size())) return;
  image_ = std::move(image);
  blockCount_ = static_cast<std::uint32_t>(image_.bytes->size() / kBlockSize);
  endFrameSent_ = false;
  live_ = true;
  resetsAtBegin_ = disconnector_.Resets();
  view_.SetEnabled(Control::kUpdateFirmware, false);
  view_.SetEnabled(Control::kWriteDataMap, false);
  TransferStep(true, kFirstBlockTimeoutMs);
  view_.ReportOutcome(Outcome::kTransferStarted);
}

void BlockTransfer::TransferStep(bool start, std::uint16_t timeoutMs) {
  if (start) nextBlock_ = 0;
  // No update loaded yet: nothing to send and no progress to show.
  if (blockCount_ != 0) {
    if (nextBlock_ < blockCount_) {
      sender_.SendRequest(image_.bytes->data() + std::size_t{nextBlock_} * kBlockSize, kBlockSize, timeoutMs);
    }
    // Past the end frame the progress holds at the end.
    view_.ShowProgress(nextBlock_ < blockCount_ ? nextBlock_ : blockCount_, blockCount_);
    if (nextBlock_ == blockCount_) SendEndFrame();
  }
  ++nextBlock_;
}

void BlockTransfer::SendEndFrame() {
  const Frame frame = BuildEndFrame(image_.kind, image_.closingValue, random_);
  sender_.SendRequest(frame.data(), frame.size(), kEndFrameTimeoutMs);
  endFrameSent_ = true;
}

void BlockTransfer::HandleBlockRequest(const std::uint8_t* frame) {
  const std::uint16_t interval = ReadBe16(frame + kIntervalOffset);
  responseTimer_.Start(interval);
  // The step's timeout is 8 bits wide: a block sent now re-arms Timer2 with the low byte only.
  // A low byte of 0 would leave Timer2 stopped while the answer is awaited, and a silent device
  // would be waited for forever: the whole interval stands in for it.
  const auto lowByte = static_cast<std::uint8_t>(interval & 0xFF);
  // A request that no transfer of this connection asked for (after a verdict, after a reconnect)
  // must not send an earlier file's blocks or end frame.
  if (!Live()) {
    if (blockCount_ != 0) view_.Trace("a block request with no transfer of this connection running: nothing sent");
    return;
  }
  TransferStep(false, lowByte != 0 ? lowByte : interval);
}

void BlockTransfer::HandleTimeoutUpdate(const std::uint8_t* frame) {
  responseTimer_.Start(ReadBe16(frame + kTimeoutOffset));
}

// The verdict's texts follow the result frame's own kind. A success is believed only for the
// transfer of this connection whose end frame has gone out, and of the frame's kind: any other
// (after 2 of 12 blocks, with no transfer, after a reconnect, of the other kind) cannot be true
// and is shown as the failure of its kind.
void BlockTransfer::HandleResult(TransferKind kind, const std::uint8_t* frame) {
  const bool live = Live();
  disconnector_.ResetToDisconnected();
  const bool claimed = frame[kVerdictOffset] == 1;
  const char* doubt = !live            ? "no transfer of this connection was running"
                      : !endFrameSent_ ? "it came before this transfer's end frame went out"
                      : kind != image_.kind ? "it is of the other kind than this transfer"
                                            : nullptr;
  const bool success = claimed && doubt == nullptr;
  if (claimed && doubt != nullptr)
    view_.Trace(std::string("a success verdict taken as a failure: ") + doubt + " (block " +
                std::to_string(nextBlock_) + " of " + std::to_string(blockCount_) + ")");
  live_ = false;
  endFrameSent_ = false;  // one verdict per transfer
  // Only a firmware verdict has a sound. Its flag goes up before the box, so Timer3 plays it
  // while the box is open.
  if (kind == TransferKind::kFirmware) success ? notices_.RaiseReady() : notices_.RaiseFailed();
  view_.ReportOutcome(success ? Outcome::kUpdateSucceeded : Outcome::kUpdateFailed);
  const VerdictTexts texts = TextsOf(kind);
  view_.ShowVerdict({kind, success, success ? texts.success : texts.failure,
                     success ? texts::kOkCaption : texts::kErrorVerdictCaption});
  view_.SetGauge(0);
}

}  // namespace corvane
