// The identification record of an IdentifyReply and the model table.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

struct DeviceModel {
  std::uint16_t code;
  const char* firstLine;  // the report's first line, naming the model
  bool russian;           // language of the other lines
};

// The model with this type code (1..16), or nullptr for an unsupported code.
const DeviceModel* FindModel(std::uint16_t typeCode);

// The report lines of a supported device, in order (seven for model 1, five for the others);
// empty for an unsupported code.
std::vector<std::string> ReportLines(const IdentificationRecord& record);

}  // namespace corvane
