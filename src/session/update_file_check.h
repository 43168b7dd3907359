// The checks an update file passes on its own, before it is held against a device: it is read
// whole within the length limits and its header blocks are intact. The update buttons make them
// on every press; several devices updated side by side have them made once for all.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scrambler.h"
#include "update_file_source.h"
#include "view.h"

namespace corvane {

// What an update file's header says, whichever kind it is.
struct UpdateFileHeader {
  std::uint16_t deviceType = 0;
  std::uint16_t version = 0;  // firmware version, or data version
  std::uint32_t closingValue = 0;
};

struct CheckedFile {
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;
  UpdateFileHeader header;
};

// The header of a firmware image or a data map; nothing when a header block is damaged or missing.
std::optional<UpdateFileHeader> DecodeUpdateHeader(TransferKind kind, const std::uint8_t* data, std::size_t length);

// Reads the file through `files` and decodes its header, showing the buttons' refusal (notice or
// box, with their texts) on `view` when a check fails.
std::optional<CheckedFile> CheckUpdateFile(TransferKind kind, const std::string& path, UpdateFileSource& files,
                                           View& view);

}  // namespace corvane
