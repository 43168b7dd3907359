// A received chunk: the frame check, the identification reply and its report lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "frame.h"
#include "fuzz_input.h"
#include "device_models.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // First byte: bit 0 asks for a repaired reply (good record CRC, sealed frame).
  const bool repair = (data[0] & 1) != 0;
  const std::size_t length = std::min(size - 1, kRxBufferSize);
  fuzz::ExactBuffer chunk(data + 1, length);

  if (repair && length >= kFrameSize) {
    fuzz::RepairRecord(chunk.get());
    SealFrame(chunk.get());
  }
  const bool accepted = CheckFrame(chunk.get(), static_cast<std::uint16_t>(length));
  if (length < kMinFrameSize && accepted) fuzz::Violated();
  if (repair && length >= kFrameSize && !accepted) fuzz::Violated();

  if (length >= kFrameSize) {
    FrameTypeCode(chunk.get());
    const auto record = DecodeIdentifyReply(chunk.get());
    if (repair && !record) fuzz::Violated();
    if (record) {
      const auto lines = ReportLines(*record);
      const std::size_t expected = FindModel(record->TypeCode()) == nullptr ? 0 : record->TypeCode() == 1 ? 7 : 5;
      if (lines.size() != expected) fuzz::Violated();
    }
  }
  return 0;
}
