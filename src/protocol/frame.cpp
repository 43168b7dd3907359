#include "frame.h"

#include "bytes.h"
#include "crc32.h"

namespace corvane {

std::uint16_t FrameTypeCode(const std::uint8_t* frame) { return ReadBe16(frame + kTypeOffset); }

IdentifyRequestFrame BuildIdentifyRequest(std::uint8_t sequence, const std::array<std::uint8_t, 4>& random) {
  IdentifyRequestFrame request{};
  WriteBe16(&request[kTypeOffset], kIdentifyRequest);
  WriteBe16(&request[kSequenceOffset], sequence);
  for (std::size_t i = 0; i < random.size(); ++i) request[kIdentifyRandomOffset + i] = random[i];
  WriteBe32(&request[kIdentifyCrcOffset], Stm32Crc32(request.data(), kIdentifyCrcOffset));
  return request;
}

bool CheckFrame(const std::uint8_t* buffer, std::uint16_t length) {
  if (length < kMinFrameSize) return false;
  const std::uint32_t l = length > kFrameSize ? kFrameSize : length;
  // The CRC's last word may reach into the stored CRC field, which lies inside the chunk.
  return Stm32Crc32(buffer, l - 4) == ReadBe32(buffer + l - 4);
}

void SealFrame(std::uint8_t* frame) { WriteBe32(frame + kCrcOffset, Stm32Crc32(frame, kCrcOffset)); }

}  // namespace corvane
