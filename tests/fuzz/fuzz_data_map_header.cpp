// A data map file of any length and content.
#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"
#include "update_file.h"

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // First byte: bit 0 asks for block 0 to be repaired.
  const bool repair = (data[0] & 1) != 0;
  fuzz::ExactBuffer file(data + 1, size - 1);
  if (repair && file.size >= kBlockSize) fuzz::RepairRecord(file.get());

  const auto result = DecodeDataMapHeader(file.get(), file.size);
  if (result.ok && file.size < kBlockSize) fuzz::Violated();
  if (repair && file.size >= kBlockSize && !result.ok) fuzz::Violated();
  if (result.ok) {
    result.header.DeviceType();
    result.header.DataVersion();
    result.header.ClosingValue();
  }
  return 0;
}
