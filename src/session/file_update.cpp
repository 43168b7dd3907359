#include "file_update.h"

#include <string>
#include <vector>

#include "input_file.h"
#include "texts.h"

namespace corvane {

namespace {

// The two buttons read their files alike and differ only in these notices.
struct FileTexts {
  const char* corrupted;  // cannot be opened, too short, not whole blocks
  const char* tooLarge;   // larger than ImageBuffer
};

// Fills `data` with the whole file when its length fits ImageBuffer as whole blocks; otherwise
// shows the refusal and returns false.
bool ReadUpdateFile(View& view, const std::string& path, const FileTexts& texts, std::vector<std::uint8_t>& data) {
  InputFile file(path);
  const long long length = file.Length();
  if (!IsValidUpdateLength(length)) {
    view.ShowNotice(texts.corrupted);
    return false;
  }
  // Refused before anything is read or copied.
  if (static_cast<unsigned long long>(length) > kImageBufferSize) {
    view.ShowNotice(texts.tooLarge);
    return false;
  }
  // A short read is an error, never a file padded with zeros; the box's answer does not matter.
  if (!file.ReadAll(data)) {
    view.ShowBox(texts::kFileError, texts::kFileErrorCaption, BoxButtons::kOkCancel);
    return false;
  }
  return true;
}

}  // namespace

FileUpdate::FileUpdate(View& view, const DeviceState& device, BlockTransfer& transfer)
    : view_(view), device_(device), transfer_(transfer) {}

// Nothing of the transfer state (kind, headers, image, counts) changes before every check has
// passed: a file refused while another transfer runs leaves that transfer as it was.
void FileUpdate::UpdateFirmware() {
  const auto path = view_.ChooseFile({texts::kFirmwareFilterName, texts::kFirmwareFilterPattern, texts::kFirmwareSuffix});
  if (!path) return;

  const auto refuse = [this] { view_.ReportOutcome(Outcome::kFileRefused); };

  std::vector<std::uint8_t> data;
  if (!ReadUpdateFile(view_, *path, {texts::kFirmwareCorrupted, texts::kFirmwareTooLarge}, data)) return refuse();

  const FirmwareDecodeResult decoded = DecodeFirmwareHeader(data.data(), data.size());
  if (!decoded.ok) {
    view_.ShowBox(texts::kFirmwareHeaderCorrupted, texts::kErrorCaption, BoxButtons::kOk);
    return refuse();
  }
  const FirmwareHeader& header = decoded.header;
  if (device_.ConnectedDeviceType != header.DeviceType()) {
    view_.ShowBox(texts::kFirmwareWrongDevice, texts::kErrorCaption, BoxButtons::kOk);
    return refuse();
  }
  // A device with damaged program memory takes any version made for its type without asking.
  if (device_.ProgramMemoryOk == 1) {
    const std::uint16_t installed = device_.ConnectedFirmwareVersion;
    const std::uint16_t offered = header.FirmwareVersion();
    if (installed > offered && view_.ShowBox(texts::kFirmwareOlder, "", BoxButtons::kYesNo) != BoxAnswer::kYes) {
      return refuse();
    }
    if (installed == offered && view_.ShowBox(texts::kFirmwareSame, "", BoxButtons::kYesNo) != BoxAnswer::kYes) {
      return refuse();
    }
  }
  transfer_.BeginFirmware(header, data.data(), data.size());
}

void FileUpdate::WriteDataMap() {
  const auto refuse = [this] { view_.ReportOutcome(Outcome::kFileRefused); };

  // Refused before the dialog: a data map needs intact firmware on the device.
  if (device_.ProgramMemoryOk != 1) {
    view_.ShowNotice(texts::kProgramMemoryDamaged);
    return refuse();
  }
  const auto path = view_.ChooseFile({texts::kDataMapFilterName, texts::kDataMapFilterPattern, texts::kDataMapSuffix});
  if (!path) return;

  std::vector<std::uint8_t> data;
  if (!ReadUpdateFile(view_, *path, {texts::kDataMapCorrupted, texts::kDataMapTooLarge}, data)) return refuse();

  const DataMapDecodeResult decoded = DecodeDataMapHeader(data.data(), data.size());
  if (!decoded.ok) {
    view_.ShowBox(*path + texts::kDataMapHeaderCorrupted, texts::kDataMapHeaderCaption, BoxButtons::kOk);
    return refuse();
  }
  const DataMapHeader& header = decoded.header;
  if (device_.ConnectedDeviceType != header.DeviceType()) {
    view_.ShowBox(texts::kDataMapWrongDevice, texts::kDataMapWrongCaption, BoxButtons::kOk);
    return refuse();
  }
  // Older and newer alike: the data map must match the device's data version exactly.
  if (device_.ConnectedDataVersion != header.DataVersion()) {
    view_.ShowBox(*path + texts::kDataMapWrongVersion, texts::kDataMapWrongCaption, BoxButtons::kOk);
    return refuse();
  }
  transfer_.BeginDataMap(header, data.data(), data.size());
}

}  // namespace corvane
