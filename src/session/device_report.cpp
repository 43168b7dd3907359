#include "device_report.h"

#include "device_models.h"
#include "texts.h"

namespace corvane {

DeviceReport::DeviceReport(View& view, DeviceState& device, Disconnector& disconnector)
    : view_(view), device_(device), disconnector_(disconnector) {}

bool DeviceReport::ReportDevice(const IdentificationRecord& record) {
  view_.ReportIdentification(record);
  const bool marked = record.Marked();
  device_.ConnectedDeviceType = record.TypeCode();  // kept for supported and unsupported codes alike

  const DeviceModel* model = FindModel(device_.ConnectedDeviceType);
  if (model == nullptr) {
    // Firmware version, data version and memory flag keep the values of the last report.
    disconnector_.ResetToDisconnected();
    view_.ShowBox(texts::kUnsupportedDevice, texts::kUnsupportedCaption, BoxButtons::kOk);
    view_.ReportOutcome(Outcome::kDeviceUnsupported);
    return marked;
  }

  const bool takesDataMap = model->code == 1;
  view_.SetEnabled(Control::kConnect, false);
  view_.SetEnabled(Control::kUpdateFirmware, true);
  if (takesDataMap) {
    view_.SetVisible(Control::kWriteDataMap, true);
    view_.SetEnabled(Control::kWriteDataMap, true);
  } else {
    view_.SetVisible(Control::kWriteDataMap, false);  // its enabled state is left as it was
  }

  view_.ClearMemo();
  for (const std::string& line : ReportLines(record)) view_.AppendMemoLine(line);

  device_.ConnectedFirmwareVersion = record.InstalledFirmwareVersion();
  if (takesDataMap) device_.ConnectedDataVersion = record.DataMemoryVersion();
  device_.ProgramMemoryOk = record.ProgramMemoryCheck() == 1 ? 1 : 0;
  view_.ReportOutcome(Outcome::kDeviceReported);
  return marked;
}

}  // namespace corvane
