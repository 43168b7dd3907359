// corvane-flash reads and checks the update file before it opens any port: a file that cannot be
// sent ends the run at once, whether a device is there or not, and the message says in plain
// words what is wrong with it (the window's boxes say only "corrupted").
#pragma once
#include <optional>
#include <string>

#include "scrambler.h"
#include "update_file_source.h"

namespace corvane::cli {

// Reads `path` through `files` (so the run sends the same bytes) and decodes its header; the
// message of the refusal, or nothing when the file may be sent to a device of its type.
std::optional<std::string> RefuseUpdateFile(TransferKind kind, const std::string& path, UpdateFileSource& files);

}  // namespace corvane::cli
