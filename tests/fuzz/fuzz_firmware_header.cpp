// A firmware image file of any length and content.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "update_file.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // First byte: bit k asks for header block k to be repaired.
  const std::uint8_t repair = data[0];
  fuzz::ExactBuffer file(data + 1, size - 1);
  const std::size_t whole = file.size / kBlockSize;
  for (std::size_t k = 0; k < kFirmwareHeaderBlocks && k < whole; ++k)
    if (repair & (1u << k)) fuzz::RepairRecord(file.get() + k * kBlockSize);

  const auto result = DecodeFirmwareHeader(file.get(), file.size);
  if (result.ok) {
    if (result.failedBlock != -1 || whole < kFirmwareHeaderBlocks) fuzz::Violated();
    result.header.DeviceType();
    result.header.FirmwareVersion();
    result.header.ClosingValue();
  } else {
    if (result.failedBlock < 0 || result.failedBlock >= static_cast<int>(kFirmwareHeaderBlocks)) fuzz::Violated();
    // Every block before the failed one is intact; a repaired block that is present never fails.
    const auto failed = static_cast<std::size_t>(result.failedBlock);
    if (failed < whole && (repair & (1u << failed))) fuzz::Violated();
  }
  if (repair == 0xFF && whole >= kFirmwareHeaderBlocks && !result.ok) fuzz::Violated();
  IsValidUpdateLength(static_cast<long long>(file.size));
  return 0;
}
