#include "frame.h"

#include "bytes.h"
#include "crc32.h"

namespace corvane {

std::uint16_t FrameTypeCode(const std::uint8_t* frame) { return ReadBe16(frame); }

IdentifyRequestFrame BuildIdentifyRequest(std::uint8_t sequence, const std::array<std::uint8_t, 4>& random) {
  IdentifyRequestFrame request{};
  request[0] = 0xDA;
  request[1] = 0x00;
  request[2] = 0x00;
  request[3] = sequence;
  for (std::size_t i = 0; i < random.size(); ++i) request[4 + i] = random[i];
  WriteBe32(&request[8], Stm32Crc32(request.data(), 8));
  return request;
}

bool CheckFrame(const std::uint8_t* buffer, std::uint16_t length) {
  if (length < kMinFrameSize) return false;
  const std::uint32_t l = length > kFrameSize ? kFrameSize : length;
  // The CRC's last word may reach into the stored CRC field, which lies inside the chunk.
  return Stm32Crc32(buffer, l - 4) == ReadBe32(buffer + l - 4);
}

void SealFrame(std::uint8_t* frame) { WriteBe32(frame + 60, Stm32Crc32(frame, 60)); }

}  // namespace corvane
