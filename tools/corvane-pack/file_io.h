// Reading the raw input and writing the packed output without ever leaving a partial file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::pack {

enum class ReadStatus { kOk, kFailed, kTooLarge };

// Reads the whole file into `data`; stops with kTooLarge as soon as it holds more than `maxSize`
// bytes. On kFailed, `error` tells why.
ReadStatus ReadWholeFile(const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& data,
                         std::string& error);

// Writes `data` to a new temporary file in the folder of `path`, then renames it to `path`.
// On failure the temporary file is removed, `path` is left as it was, and `error` tells why.
bool WriteFileAtomically(const std::string& path, const std::vector<std::uint8_t>& data, std::string& error);

}  // namespace corvane::pack
