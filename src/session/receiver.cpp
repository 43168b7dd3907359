#include "receiver.h"

#include "frame.h"
#include "identification.h"

namespace corvane {

Receiver::Receiver(View& view, DeviceReport& report, TransferHandlers& transfer)
    : view_(view), report_(report), transfer_(transfer) {}

void Receiver::DispatchFrame(const std::uint8_t* frame) {
  switch (FrameTypeCode(frame)) {
    case kIdentifyReply:
      HandleIdentifyReply(frame);
      break;
    case kBlockRequest:
      transfer_.HandleBlockRequest(frame);
      break;
    case kTimeoutUpdate:
      transfer_.HandleTimeoutUpdate(frame);
      break;
    case kFirmwareResult:
      transfer_.HandleResult(TransferKind::kFirmware, frame);
      break;
    case kDataMapResult:
      transfer_.HandleResult(TransferKind::kDataMap, frame);
      break;
    default:  // our own request types, 0xDA02/03 and unknown codes: nothing
      break;
  }
}

bool Receiver::HandleIdentifyReply(const std::uint8_t* frame) {
  const std::optional<IdentificationRecord> record = DecodeIdentifyReply(frame);
  if (!record) {
    // The window changes nothing; a caller that scans for a device learns that one answered.
    view_.ReportOutcome(Outcome::kRecordRejected);
    return false;
  }
  deviceMarked_ = report_.ReportDevice(*record) ? 1 : 0;
  // Set only now, so after an unsupported type's box has been closed.
  view_.SetBackground(deviceMarked_ != 0 ? Colour::kRed : Colour::kLightGreen);
  return true;
}

}  // namespace corvane
