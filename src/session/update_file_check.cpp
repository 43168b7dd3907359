#include "update_file_check.h"

#include "texts.h"
#include "update_file.h"

namespace corvane {
namespace {

// The refusals in which the two kinds differ.
struct Refusals {
  const char* corrupted;  // cannot be opened, too short, not whole blocks
  const char* tooLarge;   // larger than ImageBuffer
  const char* headerCorrupted;
  const char* headerCaption;
  bool headerNamesPath;  // the header box's text follows the file's path
};

Refusals RefusalsOf(TransferKind kind) {
  if (kind == TransferKind::kFirmware)
    return {texts::kFirmwareCorrupted, texts::kFirmwareTooLarge, texts::kFirmwareHeaderCorrupted, texts::kErrorCaption,
            false};
  return {texts::kDataMapCorrupted, texts::kDataMapTooLarge, texts::kDataMapHeaderCorrupted,
          texts::kDataMapHeaderCaption, true};
}

// Shows the refusal for a read that failed; true when the bytes are there.
bool Accepted(FileReadStatus status, const Refusals& refusals, View& view) {
  switch (status) {
    case FileReadStatus::kOk:
      return true;
    case FileReadStatus::kCorrupted:
      view.ShowNotice(refusals.corrupted);
      return false;
    case FileReadStatus::kTooLarge:
      view.ShowNotice(refusals.tooLarge);
      return false;
    case FileReadStatus::kReadFailed:
      // A short read is an error, never a file padded with zeros; the box's answer does not matter.
      view.ShowBox(texts::kFileError, texts::kFileErrorCaption, BoxButtons::kOkCancel);
      return false;
  }
  return false;
}

}  // namespace

std::optional<UpdateFileHeader> DecodeUpdateHeader(TransferKind kind, const std::uint8_t* data, std::size_t length) {
  if (kind == TransferKind::kFirmware) {
    const FirmwareDecodeResult decoded = DecodeFirmwareHeader(data, length);
    if (!decoded.ok) return std::nullopt;
    return UpdateFileHeader{decoded.header.DeviceType(), decoded.header.FirmwareVersion(),
                            decoded.header.ClosingValue()};
  }
  const DataMapDecodeResult decoded = DecodeDataMapHeader(data, length);
  if (!decoded.ok) return std::nullopt;
  return UpdateFileHeader{decoded.header.DeviceType(), decoded.header.DataVersion(), decoded.header.ClosingValue()};
}

std::optional<CheckedFile> CheckUpdateFile(TransferKind kind, const std::string& path, UpdateFileSource& files,
                                           View& view) {
  const Refusals refusals = RefusalsOf(kind);
  FileRead read = files.Read(path);
  if (!Accepted(read.status, refusals, view) || !read.bytes) return std::nullopt;
  const std::optional<UpdateFileHeader> header = DecodeUpdateHeader(kind, read.bytes->data(), read.bytes->size());
  if (!header) {
    const std::string text = refusals.headerNamesPath ? path + refusals.headerCorrupted : refusals.headerCorrupted;
    view.ShowBox(text, refusals.headerCaption, BoxButtons::kOk);
    return std::nullopt;
  }
  return CheckedFile{std::move(read.bytes), *header};
}

}  // namespace corvane
