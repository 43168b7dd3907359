// Frames as the trace shows them: the type's name and code, then every byte in hex.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

// "IdentifyReply", "BlockRequest", ...; nullptr for a code that is no frame type.
const char* FrameTypeName(std::uint16_t code);

// "BlockRequest (DA04), 64 bytes: DA 04 00 07 ..."; a chunk too short for a type code, or with an
// unknown one, is named "unknown".
std::string FrameTraceText(const std::uint8_t* bytes, std::size_t length);

}  // namespace corvane
