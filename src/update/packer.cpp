#include "packer.h"

#include <algorithm>
#include <array>

#include "bytes.h"
#include "update_file.h"

namespace corvane {
namespace {

std::size_t WholeBlocks(std::size_t size) { return (size / kBlockSize + (size % kBlockSize != 0)) * kBlockSize; }

void FillRandom(std::uint8_t* begin, std::uint8_t* end, RandomSource& random) {
  for (std::uint8_t* p = begin; p != end; ++p) *p = random.NextByte();
}

// Fills one header block: random bytes 0..23 (the seed among them) and 60..63, then `record`
// scrambled under that block's seed into 24..59.
void BuildHeaderBlock(std::uint8_t* block, const std::uint8_t* record, RandomSource& random) {
  FillRandom(block, block + kScrambledOffset, random);
  FillRandom(block + kScrambledOffset + kScrambledSize, block + kBlockSize, random);
  ScrambleRecord(block, record);
}

}  // namespace

std::size_t PackedFirmwareSize(std::size_t rawSize) {
  return kFirmwareHeaderBlocks * kBlockSize + WholeBlocks(rawSize);
}

std::size_t PackedDataMapSize(std::size_t rawSize) {
  return std::max(kMinUpdateFileSize, kBlockSize + WholeBlocks(rawSize));
}

std::vector<std::uint8_t> PackFirmware(const FirmwareFields& fields, std::span<const std::uint8_t> image,
                                       RandomSource& random) {
  std::array<std::uint8_t, kFirmwareHeaderBlocks * kRecordSize> header;
  FillRandom(header.data(), header.data() + header.size(), random);
  WriteLe16(&header[0], fields.deviceType);
  WriteLe16(&header[2], fields.firmwareVersion);
  WriteLe32(&header[12], fields.closingValue);

  std::vector<std::uint8_t> file(PackedFirmwareSize(image.size()), 0);
  for (std::size_t k = 0; k < kFirmwareHeaderBlocks; ++k)
    BuildHeaderBlock(&file[k * kBlockSize], &header[k * kRecordSize], random);
  std::copy(image.begin(), image.end(), file.begin() + kFirmwareHeaderBlocks * kBlockSize);
  return file;
}

std::vector<std::uint8_t> PackDataMap(const DataMapFields& fields, std::span<const std::uint8_t> map,
                                      RandomSource& random) {
  std::array<std::uint8_t, kRecordSize> payload;
  FillRandom(payload.data(), payload.data() + payload.size(), random);
  WriteLe32(&payload[4], fields.closingValue);
  WriteLe16(&payload[8], fields.dataVersion);
  WriteLe16(&payload[10], fields.deviceType);

  std::vector<std::uint8_t> file(PackedDataMapSize(map.size()), 0);
  BuildHeaderBlock(file.data(), payload.data(), random);
  std::copy(map.begin(), map.end(), file.begin() + kBlockSize);
  return file;
}

}  // namespace corvane
