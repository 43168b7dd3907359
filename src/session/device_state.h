// What the last identification report left behind for the update checks.
#pragma once
#include <cstdint>

namespace corvane {

struct DeviceState {
  std::uint16_t ConnectedDeviceType = 0;
  std::uint16_t ConnectedFirmwareVersion = 0;
  std::uint16_t ConnectedDataVersion = 0;
  std::uint8_t ProgramMemoryOk = 0;
};

}  // namespace corvane
