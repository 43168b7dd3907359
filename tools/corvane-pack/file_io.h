// Reading the raw input and writing the packed output without ever leaving a partial file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::pack {

enum class ReadStatus { kOk, kFailed, kTooLarge };

// Reads the whole of a regular file into `data`; kTooLarge, before reading, when it is longer
// than `maxSize` bytes. A FIFO, device or socket fails at once. On kFailed, `error` tells why.
ReadStatus ReadWholeFile(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& data,
                         std::string& error);

// True when both paths name the same existing file, whatever the spelling or links.
bool SameFile(const std::string& a, const std::string& b);

// Writes `data` to a new temporary file in the folder of `path`, then renames it to `path`.
// On failure the temporary file is removed, `path` is left as it was, and `error` tells why.
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& data, std::string& error);

}  // namespace corvane::pack
