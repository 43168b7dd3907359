#include "identification.h"

#include "scrambler.h"

namespace corvane {

std::optional<IdentificationRecord> DecodeIdentifyReply(const std::uint8_t* frame) {
  IdentificationRecord record;
  if (!UnscrambleRecord(frame, record.bytes.data())) return std::nullopt;
  return record;
}

}  // namespace corvane
