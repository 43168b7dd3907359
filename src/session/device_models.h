// The model table: which type codes the programmer supports, and the report lines it shows for them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "identification.h"

namespace corvane {

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
