#include "frame_trace.h"

#include <cstdio>

#include "frame.h"

namespace corvane {

const char* FrameTypeName(std::uint16_t code) {
  switch (code) {
    case kIdentifyRequest:
      return "IdentifyRequest";
    case kIdentifyReply:
      return "IdentifyReply";
    case kBlockRequest:
      return "BlockRequest";
    case kTimeoutUpdate:
      return "TimeoutUpdate";
    case kFirmwareEnd:
      return "FirmwareEnd";
    case kFirmwareResult:
      return "FirmwareResult";
    case kDataMapEnd:
      return "DataMapEnd";
    case kDataMapResult:
      return "DataMapResult";
    default:
      return nullptr;
  }
}

std::string FrameTraceText(const std::uint8_t* bytes, std::size_t length) {
  std::string text;
  const char* name = length >= 2 ? FrameTypeName(FrameTypeCode(bytes)) : nullptr;
  char head[64];
  const char* unit = length == 1 ? "byte" : "bytes";
  if (name)
    std::snprintf(head, sizeof head, "%s (%04X), %zu %s:", name, FrameTypeCode(bytes), length, unit);
  else
    std::snprintf(head, sizeof head, "unknown, %zu %s:", length, unit);
  text = head;
  text.reserve(text.size() + 3 * length);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < length; ++i) {
    text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

}  // namespace corvane
