// The frames a controller sends: the identification reply and the short transfer frames.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frame.h"
#include "scrambler.h"
#include "sim_config.h"

namespace corvane {

using Bytes = std::vector<std::uint8_t>;

// The 32-byte identification record described by `config`.
std::array<std::uint8_t, kRecordSize> BuildRecord(const SimConfig& config);

// DA 01, random sequence and seed bytes, the scrambled record and its CRC, frame CRC.
// With `breakRecordCrc` the record's CRC is wrong while the frame CRC is right.
Frame BuildIdentifyReply(const SimConfig& config, bool breakRecordCrc, RandomSource& random);

// Short frames of `length` bytes (clamped to 16..64, whole words), CRC of all bytes before the
// last four in the last four.
Bytes BuildBlockRequest(std::uint16_t intervalMs, std::size_t length, std::uint16_t sequence);
Bytes BuildTimeoutUpdate(std::uint16_t intervalMs, std::size_t length, std::uint16_t sequence);  // >= 20 bytes
// 0xDA07 FirmwareResult or 0xDA09 DataMapResult with the verdict at byte 4.
Bytes BuildResult(std::uint16_t type, std::uint8_t verdict, std::size_t length, std::uint16_t sequence);

// The closing value of an end frame: bytes 13..16 unscrambled with the keystream of its seeds.
std::uint32_t ClosingValueOf(const std::uint8_t* endFrame);

}  // namespace corvane
