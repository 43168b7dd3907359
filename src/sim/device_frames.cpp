#include "device_frames.h"

#include <algorithm>

#include "bytes.h"
#include "crc32.h"

namespace corvane {
namespace {

std::size_t ShortLength(std::size_t length) {
  return std::clamp<std::size_t>(length, kMinFrameSize, kFrameSize) & ~std::size_t{3};
}

Bytes ShortFrame(std::uint16_t type, std::size_t length, std::uint16_t sequence) {
  Bytes frame(ShortLength(length), 0);
  WriteBe16(&frame[kTypeOffset], type);
  WriteBe16(&frame[kSequenceOffset], sequence);
  return frame;
}

// The length is a whole number of words, so the CRC reads nothing past the covered bytes.
Bytes Sealed(Bytes frame) {
  const auto covered = static_cast<std::uint32_t>(frame.size() - 4);
  WriteBe32(frame.data() + covered, Stm32Crc32(frame.data(), covered));
  return frame;
}

}  // namespace

std::array<std::uint8_t, kRecordSize> BuildRecord(const SimConfig& config) {
  std::array<std::uint8_t, kRecordSize> record{};
  WriteBe16(&record[0], config.typeWord);
  record[2] = config.bootloaderVersion;
  WriteBe16(&record[3], config.firmwareVersion);
  WriteBe16(&record[5], config.dataVersion);
  record[7] = config.programCheck;
  record[8] = config.dataCheck;
  std::copy(config.recordTail.begin(), config.recordTail.end(), record.begin() + 9);
  return record;
}

Frame BuildIdentifyReply(const SimConfig& config, bool breakRecordCrc, RandomSource& random) {
  Frame frame{};
  WriteBe16(&frame[kTypeOffset], kIdentifyReply);
  for (std::size_t i = kSequenceOffset; i < kRecordOffset; ++i) frame[i] = random.NextByte();
  const auto record = BuildRecord(config);
  ScrambleRecord(frame.data(), record.data());
  if (breakRecordCrc) frame[kRecordOffset + kRecordSize + 3] ^= 0x01;
  SealFrame(frame.data());
  return frame;
}

Bytes BuildBlockRequest(std::uint16_t intervalMs, std::size_t length, std::uint16_t sequence) {
  Bytes frame = ShortFrame(kBlockRequest, length, sequence);
  WriteBe16(&frame[kIntervalOffset], intervalMs);
  return Sealed(std::move(frame));
}

Bytes BuildTimeoutUpdate(std::uint16_t intervalMs, std::size_t length, std::uint16_t sequence) {
  Bytes frame = ShortFrame(kTimeoutUpdate, std::max<std::size_t>(length, 20), sequence);
  WriteBe16(&frame[kTimeoutOffset], intervalMs);
  return Sealed(std::move(frame));
}

Bytes BuildResult(std::uint16_t type, std::uint8_t verdict, std::size_t length, std::uint16_t sequence) {
  Bytes frame = ShortFrame(type, length, sequence);
  frame[kVerdictOffset] = verdict;
  return Sealed(std::move(frame));
}

std::uint32_t ClosingValueOf(const std::uint8_t* endFrame) {
  const Keystream ks = DeriveKeystream(endFrame + kSeedOffset);
  std::uint8_t value[4];
  for (std::size_t i = 0; i < 4; ++i) value[i] = static_cast<std::uint8_t>(endFrame[kClosingOffset + i] ^ ks[i]);
  return ReadBe32(value);
}

}  // namespace corvane
