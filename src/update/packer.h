// Builds firmware image (.sbin) and data map (.lbin) files in memory: the inverse of the header
// decoding. Every byte the decoding does not interpret is drawn from the given random source.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "scrambler.h"

namespace corvane {

struct FirmwareFields {
  std::uint16_t deviceType = 0;
  std::uint16_t firmwareVersion = 0;
  std::uint32_t closingValue = 0;
};

struct DataMapFields {
  std::uint16_t deviceType = 0;
  std::uint16_t dataVersion = 0;
  std::uint32_t closingValue = 0;
};

// Size of the packed file for a raw input of `rawSize` bytes.
std::size_t PackedFirmwareSize(std::size_t rawSize);
std::size_t PackedDataMapSize(std::size_t rawSize);

// Eight scrambled header blocks, then `image` unchanged, zero-padded to whole blocks.
// No size limit is applied here; callers that write files check PackedFirmwareSize first.
std::vector<std::uint8_t> PackFirmware(const FirmwareFields& fields, std::span<const std::uint8_t> image,
                                       RandomSource& random);

// One scrambled header block, then `map` unchanged, zero-padded to whole blocks and to at least
// 256 bytes in all.
std::vector<std::uint8_t> PackDataMap(const DataMapFields& fields, std::span<const std::uint8_t> map,
                                      RandomSource& random);

}  // namespace corvane
