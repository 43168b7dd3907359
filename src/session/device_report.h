// ReportDevice: what the identification record tells about the connected device, written to the
// report box, the device state and the buttons.
#pragma once
#include "device_state.h"
#include "disconnector.h"
#include "identification.h"
#include "view.h"

namespace corvane {

class DeviceReport {
 public:
  DeviceReport(View& view, DeviceState& device, Disconnector& disconnector);

  // Takes a record whose CRC has been checked. A supported model gets its report lines and
  // buttons; an unsupported type code disconnects and shows the error box. Returns the mark bit
  // (bit 15 of the type word) in either case.
  bool ReportDevice(const IdentificationRecord& record);

 private:
  View& view_;
  DeviceState& device_;
  Disconnector& disconnector_;
};

}  // namespace corvane
