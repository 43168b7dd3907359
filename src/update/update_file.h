// Decoding the headers of firmware image (.sbin) and data map (.lbin) files.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane {

inline constexpr std::size_t kBlockSize = 64;
inline constexpr std::size_t kMinUpdateFileSize = 256;
inline constexpr std::size_t kFirmwareHeaderBlocks = 8;
inline constexpr std::size_t kImageBufferSize = 10'240'000;  // 160,000 blocks

// The 256 header bytes of a firmware image: slice k of block k at 32k..32k+31. Little-endian fields.
struct FirmwareHeader {
  std::array<std::uint8_t, 256> bytes{};
  std::uint16_t DeviceType() const;       // offset 0
  std::uint16_t FirmwareVersion() const;  // offset 2
  std::uint32_t ClosingValue() const;     // offset 12
};

// The first 16 payload bytes of a data map's block 0. Little-endian fields.
struct DataMapHeader {
  std::array<std::uint8_t, 16> bytes{};
  std::uint32_t ClosingValue() const;  // offset 4
  std::uint16_t DataVersion() const;   // offset 8
  std::uint16_t DeviceType() const;    // offset 10
};

// A length that the update checks accept: at least 256 and a whole number of blocks.
// Takes a signed length so that -1 (file not opened) fails.
bool IsValidUpdateLength(long long length);

struct FirmwareDecodeResult {
  bool ok = false;
  int failedBlock = -1;  // the first header block that is missing or fails its CRC
  FirmwareHeader header;
};

struct DataMapDecodeResult {
  bool ok = false;
  DataMapHeader header;
};

// Unscrambles and CRC-checks header blocks 0..7 in order, each on its own. Never reads past
// `length`: a block that does not lie wholly inside the data fails.
FirmwareDecodeResult DecodeFirmwareHeader(const std::uint8_t* data, std::size_t length);

// The same for block 0 of a data map.
DataMapDecodeResult DecodeDataMapHeader(const std::uint8_t* data, std::size_t length);

}  // namespace corvane
