// The payload scrambler: bytes 24..59 of a frame or file block XORed with a keystream derived
// from the shared key table and the block's own nine seed bytes (4..12).
#pragma once
#include <array>
#include <cstdint>

#include "frame.h"
#include "scramble_key.h"

namespace corvane {

inline constexpr std::size_t kScrambledOffset = kRecordOffset;
inline constexpr std::size_t kScrambledSize = 36;
inline constexpr std::size_t kRecordSize = 32;  // the record before its CRC in the scrambled area

using Keystream = std::array<std::uint8_t, kScrambledSize>;

// Rotates `value` left by `s` mod 8 bits.
std::uint8_t RotateByteLeft(std::uint8_t value, int s);

// Rotates `length` bytes left by `n` bits as one big-endian bit string; n <= 0 changes nothing.
void RotateBufferLeft(std::uint8_t* buffer, std::uint16_t length, int n);

// `seed` points at the nine seed bytes.
Keystream DeriveKeystream(const std::uint8_t* seed);

// Writes bytes 24..59 of `out` from bytes 24..59 of `frame`; no other byte of `out` changes.
// `frame` and `out` may be the same buffer.
void UnscramblePayload(const std::uint8_t* frame, std::uint8_t* out);

// Puts a 32-byte record and its big-endian CRC into bytes 24..59 of `block`, scrambled under
// the seed bytes already in bytes 4..12. The inverse of UnscramblePayload plus the CRC check.
void ScrambleRecord(std::uint8_t* block, const std::uint8_t* record);

// Unscrambles bytes 24..59 of `block` and checks the record CRC; on success copies the 32
// record bytes to `record` and returns true.
bool UnscrambleRecord(const std::uint8_t* block, std::uint8_t* record);

// One pseudo-random byte per call (the low 8 bits of one draw).
class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual std::uint8_t NextByte() = 0;
};

enum class TransferKind : std::uint8_t { kFirmware = 0, kDataMap = 1 };

// The 64-byte FirmwareEnd (0xDA06) or DataMapEnd (0xDA08): random bytes at 2..12 and 17..58 drawn
// in that order, the closing value most significant byte first at 13..16 XORed with keystream
// bytes 0..3, byte 59 zero, CRC of 0..59 at 60..63.
Frame BuildEndFrame(TransferKind kind, std::uint32_t closingValue, RandomSource& random);

}  // namespace corvane
