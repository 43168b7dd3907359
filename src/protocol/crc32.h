// CRC-32 as the STM32 CRC unit computes it.
#pragma once
#include <cstdint>

namespace corvane {

// Polynomial 0x04C11DB7, start 0xFFFFFFFF, no reflection, no final XOR, over little-endian
// 32-bit words. Words are taken whole: for a length that is not a multiple of four the last
// word also reads the up to three bytes after `length`, so the buffer must hold them.
std::uint32_t Stm32Crc32(const std::uint8_t* data, std::uint32_t length);

}  // namespace corvane
