// Frame layout, type codes and the receive check.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane {

inline constexpr std::size_t kFrameSize = 64;
inline constexpr std::size_t kIdentifyRequestSize = 12;
inline constexpr std::size_t kRxBufferSize = 4096;  // one received chunk at most
inline constexpr std::size_t kMinFrameSize = 16;

// Where the fields of a frame lie: byte offsets, multi-byte fields big-endian.
inline constexpr std::size_t kTypeOffset = 0;      // FrameType, 2 bytes
inline constexpr std::size_t kSequenceOffset = 2;  // request sequence, 2 bytes
inline constexpr std::size_t kIntervalOffset = 4;  // BlockRequest: the device's block interval in ms, 2 bytes
inline constexpr std::size_t kVerdictOffset = 4;   // FirmwareResult/DataMapResult: 1 is success
inline constexpr std::size_t kTimeoutOffset = 13;  // TimeoutUpdate: the response time in ms, 2 bytes
inline constexpr std::size_t kClosingOffset = 13;  // end frames: the closing value, 4 bytes, XORed with keystream
inline constexpr std::size_t kSeedOffset = 4;      // the nine seed bytes of the scrambled payload
inline constexpr std::size_t kSeedSize = 9;
inline constexpr std::size_t kRecordOffset = 24;  // scrambled payload: a 32-byte record and its CRC
inline constexpr std::size_t kCrcOffset = 60;     // CRC of bytes 0..59, 4 bytes
inline constexpr std::size_t kIdentifyRandomOffset = 4;  // IdentifyRequest: four random bytes
inline constexpr std::size_t kIdentifyCrcOffset = 8;     // IdentifyRequest: CRC of bytes 0..7

// Bytes 0 and 1 of a frame read as one big-endian code.
enum FrameType : std::uint16_t {
  kIdentifyRequest = 0xDA00,
  kIdentifyReply = 0xDA01,
  kBlockRequest = 0xDA04,
  kTimeoutUpdate = 0xDA05,
  kFirmwareEnd = 0xDA06,
  kFirmwareResult = 0xDA07,
  kDataMapEnd = 0xDA08,
  kDataMapResult = 0xDA09,
};

using Frame = std::array<std::uint8_t, kFrameSize>;
using IdentifyRequestFrame = std::array<std::uint8_t, kIdentifyRequestSize>;

std::uint16_t FrameTypeCode(const std::uint8_t* frame);

// DA 00, sequence (00, counter), four random bytes, big-endian CRC of bytes 0..7.
IdentifyRequestFrame BuildIdentifyRequest(std::uint8_t sequence, const std::array<std::uint8_t, 4>& random);

// True when `length` >= 16 and the last four of (at most) the first 64 bytes hold the
// big-endian Stm32Crc32 of the bytes before them.
bool CheckFrame(const std::uint8_t* buffer, std::uint16_t length);

// Writes the big-endian CRC of bytes 0..59 into bytes 60..63 of a 64-byte frame.
void SealFrame(std::uint8_t* frame);

}  // namespace corvane
