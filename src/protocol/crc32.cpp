#include "crc32.h"

#include <array>

namespace corvane {
namespace {

// Table for one byte of the MSB-first shift register: feeding a word's four bytes from its top
// byte down equals 32 single-bit steps.
constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t crc = i << 24;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    table[i] = crc;
  }
  return table;
}
constexpr auto kTable = MakeTable();

}  // namespace

std::uint32_t Stm32Crc32(const std::uint8_t* data, std::uint32_t length) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint32_t i = 0; i < length; i += 4) {
    const std::uint32_t word = std::uint32_t{data[i]} | (std::uint32_t{data[i + 1]} << 8) |
                               (std::uint32_t{data[i + 2]} << 16) | (std::uint32_t{data[i + 3]} << 24);
    crc ^= word;
    for (int k = 0; k < 4; ++k) crc = (crc << 8) ^ kTable[crc >> 24];
  }
  return crc;
}

}  // namespace corvane
