// The identification record of an IdentifyReply.
#pragma once
#include <array>
#include <cstdint>
#include <optional>

namespace corvane {

// The 32 unscrambled record bytes of an IdentifyReply (frame bytes 24..55). Big-endian fields.
struct IdentificationRecord {
  std::array<std::uint8_t, 32> bytes{};

  std::uint16_t TypeWord() const { return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]); }
  std::uint16_t TypeCode() const { return TypeWord() & 0x7FFF; }
  bool Marked() const { return (TypeWord() & 0x8000) != 0; }
  std::uint8_t BootloaderVersion() const { return bytes[2]; }
  std::uint16_t InstalledFirmwareVersion() const { return static_cast<std::uint16_t>(bytes[3] << 8 | bytes[4]); }
  std::uint16_t DataMemoryVersion() const { return static_cast<std::uint16_t>(bytes[5] << 8 | bytes[6]); }
  std::uint8_t ProgramMemoryCheck() const { return bytes[7]; }
  std::uint8_t DataMemoryCheck() const { return bytes[8]; }
};

// Unscrambles the payload of a 64-byte IdentifyReply and checks the record CRC.
std::optional<IdentificationRecord> DecodeIdentifyReply(const std::uint8_t* frame);

}  // namespace corvane
