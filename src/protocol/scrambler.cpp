#include "scrambler.h"

#include <cstring>
#include <vector>

#include "bytes.h"
#include "crc32.h"

namespace corvane {

std::uint8_t RotateByteLeft(std::uint8_t value, int s) {
  const int k = ((s % 8) + 8) % 8;
  if (k == 0) return value;
  return static_cast<std::uint8_t>((value << k) | (value >> (8 - k)));
}

void RotateBufferLeft(std::uint8_t* buffer, std::uint16_t length, int n) {
  if (n <= 0 || length == 0) return;
  const int shift = n % (length * 8);
  if (shift == 0) return;
  const std::size_t byteShift = static_cast<std::size_t>(shift / 8);
  const int bitShift = shift % 8;
  // Whole-byte move into a copy (two straight runs, no division per byte), then the remaining
  // bits; both wrap around the end.
  std::uint8_t small[256];
  std::vector<std::uint8_t> large;
  std::uint8_t* copy = small;
  if (length > sizeof small) {
    large.resize(length);
    copy = large.data();
  }
  std::memcpy(copy, buffer + byteShift, length - byteShift);
  std::memcpy(copy + (length - byteShift), buffer, byteShift);
  if (bitShift == 0) {
    std::memcpy(buffer, copy, length);
    return;
  }
  for (std::size_t i = 0; i + 1 < length; ++i)
    buffer[i] = static_cast<std::uint8_t>((copy[i] << bitShift) | (copy[i + 1] >> (8 - bitShift)));
  buffer[length - 1] = static_cast<std::uint8_t>((copy[length - 1] << bitShift) | (copy[0] >> (8 - bitShift)));
}

Keystream DeriveKeystream(const std::uint8_t* seed) {
  Keystream ks = ScrambleKey;
  for (int j = 0; j < 4; ++j) {
    const int index = 8 * j + seed[2 * j] % 8;
    const int rotation = seed[2 * j + 1] % 7 + 1;
    ks[index] = RotateByteLeft(ks[index], rotation);
  }
  RotateBufferLeft(ks.data(), static_cast<std::uint16_t>(ks.size()), 7 + seed[8] % 16);
  return ks;
}

void UnscramblePayload(const std::uint8_t* frame, std::uint8_t* out) {
  const Keystream ks = DeriveKeystream(frame + kSeedOffset);
  for (std::size_t k = 0; k < kScrambledSize; ++k) out[kScrambledOffset + k] = frame[kScrambledOffset + k] ^ ks[k];
}

void ScrambleRecord(std::uint8_t* block, const std::uint8_t* record) {
  std::memmove(block + kScrambledOffset, record, kRecordSize);  // the record may already sit there
  WriteBe32(block + kScrambledOffset + kRecordSize, Stm32Crc32(record, kRecordSize));
  UnscramblePayload(block, block);
}

bool UnscrambleRecord(const std::uint8_t* block, std::uint8_t* record) {
  std::uint8_t work[kFrameSize] = {};
  UnscramblePayload(block, work);
  if (Stm32Crc32(work + kScrambledOffset, kRecordSize) != ReadBe32(work + kScrambledOffset + kRecordSize)) return false;
  std::memcpy(record, work + kScrambledOffset, kRecordSize);
  return true;
}

Frame BuildEndFrame(TransferKind kind, std::uint32_t closingValue, RandomSource& random) {
  Frame frame{};
  WriteBe16(&frame[kTypeOffset], kind == TransferKind::kFirmware ? kFirmwareEnd : kDataMapEnd);
  for (std::size_t i = kSequenceOffset; i < kClosingOffset; ++i) frame[i] = random.NextByte();
  const Keystream ks = DeriveKeystream(frame.data() + kSeedOffset);
  WriteBe32(&frame[kClosingOffset], closingValue);
  for (std::size_t i = 0; i < 4; ++i) frame[kClosingOffset + i] ^= ks[i];
  for (std::size_t i = kClosingOffset + 4; i < kCrcOffset - 1; ++i) frame[i] = random.NextByte();
  frame[kCrcOffset - 1] = 0;
  SealFrame(frame.data());
  return frame;
}

}  // namespace corvane
