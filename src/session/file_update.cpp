#include "file_update.h"

#include "input_file.h"
#include "texts.h"
#include "update_file.h"

namespace corvane {

// Everything in which the two buttons differ.
struct FileUpdate::Kind {
  // A refusal box: its text (after the file's path when `namesPath`) and caption.
  struct Box {
    const char* text;
    const char* caption;
    bool namesPath = false;
  };
  TransferKind kind;
  FileFilter filter;
  const char* corrupted;  // cannot be opened, too short, not whole blocks
  const char* tooLarge;   // larger than ImageBuffer
  Box headerCorrupted;
  Box wrongDevice;
  std::optional<FileUpdate::Header> (*decode)(const std::uint8_t* data, std::size_t length);
  bool (FileUpdate::*acceptVersion)(const FileUpdate::Header& header, const std::string& path);
};

namespace {

std::optional<FileUpdate::Header> DecodeFirmware(const std::uint8_t* data, std::size_t length) {
  const FirmwareDecodeResult decoded = DecodeFirmwareHeader(data, length);
  if (!decoded.ok) return std::nullopt;
  return FileUpdate::Header{decoded.header.DeviceType(), decoded.header.FirmwareVersion(),
                            decoded.header.ClosingValue()};
}

std::optional<FileUpdate::Header> DecodeDataMap(const std::uint8_t* data, std::size_t length) {
  const DataMapDecodeResult decoded = DecodeDataMapHeader(data, length);
  if (!decoded.ok) return std::nullopt;
  return FileUpdate::Header{decoded.header.DeviceType(), decoded.header.DataVersion(), decoded.header.ClosingValue()};
}

}  // namespace

FileUpdate::FileUpdate(View& view, const DeviceState& device, BlockTransfer& transfer, const Link& link,
                       const Disconnector& disconnector)
    : view_(view), device_(device), transfer_(transfer), link_(link), disconnector_(disconnector) {}

// The dialog and the questions are modal: the link may drop while they are open. Whatever was
// chosen is then for a device that is gone.
bool FileUpdate::StillConnected(std::uint32_t resets) const {
  return link_.IsOpen() && disconnector_.Resets() == resets;
}

void FileUpdate::UpdateFirmware() {
  const Kind kind{TransferKind::kFirmware,
                  {texts::kFirmwareFilterName, texts::kFirmwareFilterPattern, texts::kFirmwareSuffix},
                  texts::kFirmwareCorrupted,
                  texts::kFirmwareTooLarge,
                  {texts::kFirmwareHeaderCorrupted, texts::kErrorCaption},
                  {texts::kFirmwareWrongDevice, texts::kErrorCaption},
                  DecodeFirmware,
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
                  texts::kDataMapCorrupted,
                  texts::kDataMapTooLarge,
                  {texts::kDataMapHeaderCorrupted, texts::kDataMapHeaderCaption, true},
                  {texts::kDataMapWrongDevice, texts::kDataMapWrongCaption},
                  DecodeDataMap,
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
  const auto show = [this, &path](const Kind::Box& box) {
    view_.ShowBox(box.namesPath ? *path + box.text : std::string(box.text), box.caption, BoxButtons::kOk);
  };

  std::optional<std::vector<std::uint8_t>> data = Read(kind, *path);
  if (!data) return refuse();
  const std::optional<Header> header = kind.decode(data->data(), data->size());
  if (!header) {
    show(kind.headerCorrupted);
    return refuse();
  }
  if (device_.ConnectedDeviceType != header->deviceType) {
    show(kind.wrongDevice);
    return refuse();
  }
  if (!(this->*kind.acceptVersion)(*header, *path)) return refuse();
  if (!StillConnected(resets)) return;
  transfer_.Begin({kind.kind, header->closingValue, std::move(*data)});
}

// The whole file when its length fits ImageBuffer as whole blocks; otherwise the refusal is shown.
std::optional<std::vector<std::uint8_t>> FileUpdate::Read(const Kind& kind, const std::string& path) {
  InputFile file(path);
  const long long length = file.Length();
  if (!IsValidUpdateLength(length)) {
    view_.ShowNotice(kind.corrupted);
    return std::nullopt;
  }
  // Refused before anything is read.
  if (static_cast<unsigned long long>(length) > kImageBufferSize) {
    view_.ShowNotice(kind.tooLarge);
    return std::nullopt;
  }
  // A short read is an error, never a file padded with zeros; the box's answer does not matter.
  std::vector<std::uint8_t> data;
  if (!file.ReadAll(data)) {
    view_.ShowBox(texts::kFileError, texts::kFileErrorCaption, BoxButtons::kOkCancel);
    return std::nullopt;
  }
  return data;
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
