#include "file_update.h"

#include "texts.h"

namespace corvane {

// Everything in which the two buttons differ once the file itself has passed its checks.
struct FileUpdate::Kind {
  TransferKind kind;
  FileFilter filter;
  const char* wrongDevice;
  const char* wrongDeviceCaption;
  bool (FileUpdate::*acceptVersion)(const FileUpdate::Header& header, const std::string& path);
};

FileUpdate::FileUpdate(View& view, const DeviceState& device, BlockTransfer& transfer, const Link& link,
                       const Disconnector& disconnector, UpdateFileSource& files)
    : view_(view), device_(device), transfer_(transfer), link_(link), disconnector_(disconnector), files_(files) {}

// The dialog and the questions are modal: the link may drop while they are open. Whatever was
// chosen is then for a device that is gone.
bool FileUpdate::StillConnected(std::uint32_t resets) const {
  return link_.IsOpen() && disconnector_.Resets() == resets;
}

void FileUpdate::UpdateFirmware() {
  const Kind kind{TransferKind::kFirmware,
                  {texts::kFirmwareFilterName, texts::kFirmwareFilterPattern, texts::kFirmwareSuffix},
                  texts::kFirmwareWrongDevice,
                  texts::kErrorCaption,
                  &FileUpdate::AcceptFirmwareVersion};
  Run(kind);
}

void FileUpdate::WriteDataMap() {
  // Refused before the dialog: a data map needs intact firmware on the device.
  if (device_.ProgramMemoryOk != 1) {
    view_.ShowNotice(texts::kProgramMemoryDamaged);
    view_.ReportOutcome(Outcome::kFileRefused);
    return;
  }
  const Kind kind{TransferKind::kDataMap,
                  {texts::kDataMapFilterName, texts::kDataMapFilterPattern, texts::kDataMapSuffix},
                  texts::kDataMapWrongDevice,
                  texts::kDataMapWrongCaption,
                  &FileUpdate::AcceptDataVersion};
  Run(kind);
}

// Nothing of the transfer state (kind, closing value, image, counts) changes before every check
// has passed: a file refused while another transfer runs leaves that transfer as it was.
// After the dialog and after each question the update goes on only on the connection it was
// started on; otherwise it ends quietly (the window already said "device disconnected.").
void FileUpdate::Run(const Kind& kind) {
  const std::uint32_t resets = disconnector_.Resets();
  const auto path = view_.ChooseFile(kind.filter);
  if (!path || !StillConnected(resets)) return;
  const auto refuse = [this] { view_.ReportOutcome(Outcome::kFileRefused); };

  std::optional<CheckedFile> file = CheckUpdateFile(kind.kind, *path, files_, view_);
  if (!file) return refuse();
  if (device_.ConnectedDeviceType != file->header.deviceType) {
    view_.ShowBox(kind.wrongDevice, kind.wrongDeviceCaption, BoxButtons::kOk);
    return refuse();
  }
  if (!(this->*kind.acceptVersion)(file->header, *path)) return refuse();
  if (!StillConnected(resets)) return;
  transfer_.Begin({kind.kind, file->header.closingValue, std::move(file->bytes)});
}

// A device with damaged program memory takes any version made for its type without asking.
bool FileUpdate::AcceptFirmwareVersion(const Header& header, const std::string&) {
  if (device_.ProgramMemoryOk != 1) return true;
  const std::uint16_t installed = device_.ConnectedFirmwareVersion;
  if (installed > header.version) return view_.ShowBox(texts::kFirmwareOlder, "", BoxButtons::kYesNo) == BoxAnswer::kYes;
  if (installed == header.version) return view_.ShowBox(texts::kFirmwareSame, "", BoxButtons::kYesNo) == BoxAnswer::kYes;
  return true;
}

// Older and newer alike: the data map must match the device's data version exactly.
bool FileUpdate::AcceptDataVersion(const Header& header, const std::string& path) {
  if (device_.ConnectedDataVersion == header.version) return true;
  view_.ShowBox(path + texts::kDataMapWrongVersion, texts::kDataMapWrongCaption, BoxButtons::kOk);
  return false;
}

}  // namespace corvane
