// The update file as a log record names it: path, size, SHA-256 and the version in its header.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "log_record.h"
#include "scrambler.h"

namespace corvane::cli {

// The lowercase hexadecimal SHA-256 of `bytes`.
std::string Sha256Hex(const std::vector<std::uint8_t>& bytes);

// `bytes` null: the file could not be read.
FileFacts DescribeFile(const std::string& path, TransferKind kind,
                       const std::shared_ptr<const std::vector<std::uint8_t>>& bytes);

}  // namespace corvane::cli
