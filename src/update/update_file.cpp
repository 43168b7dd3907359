#include "update_file.h"

#include "bytes.h"
#include "scrambler.h"

namespace corvane {
namespace {

// True when block `k` lies wholly inside `length` bytes.
bool BlockPresent(std::size_t k, std::size_t length) { return length / kBlockSize > k; }

}  // namespace

std::uint16_t FirmwareHeader::DeviceType() const { return ReadLe16(&bytes[0]); }
std::uint16_t FirmwareHeader::FirmwareVersion() const { return ReadLe16(&bytes[2]); }
std::uint32_t FirmwareHeader::ClosingValue() const { return ReadLe32(&bytes[12]); }

std::uint32_t DataMapHeader::ClosingValue() const { return ReadLe32(&bytes[4]); }
std::uint16_t DataMapHeader::DataVersion() const { return ReadLe16(&bytes[8]); }
std::uint16_t DataMapHeader::DeviceType() const { return ReadLe16(&bytes[10]); }

bool IsValidUpdateLength(long long length) {
  return length >= static_cast<long long>(kMinUpdateFileSize) && length % static_cast<long long>(kBlockSize) == 0;
}

FirmwareDecodeResult DecodeFirmwareHeader(const std::uint8_t* data, std::size_t length) {
  FirmwareDecodeResult result;
  for (std::size_t k = 0; k < kFirmwareHeaderBlocks; ++k) {
    if (!BlockPresent(k, length) ||
        !UnscrambleRecord(data + k * kBlockSize, result.header.bytes.data() + k * kRecordSize)) {
      result.failedBlock = static_cast<int>(k);
      return result;
    }
  }
  result.ok = true;
  return result;
}

DataMapDecodeResult DecodeDataMapHeader(const std::uint8_t* data, std::size_t length) {
  DataMapDecodeResult result;
  std::uint8_t record[kRecordSize];
  if (!BlockPresent(0, length) || !UnscrambleRecord(data, record)) return result;
  for (std::size_t i = 0; i < result.header.bytes.size(); ++i) result.header.bytes[i] = record[i];
  result.ok = true;
  return result;
}

}  // namespace corvane
