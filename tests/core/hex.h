// Byte buffers as readable hex strings, so a failed comparison shows the bytes, and back.
#pragma once
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane::testing {

inline QByteArray Hex(const std::uint8_t* data, std::size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).toHex(' ');
}

template <typename Container>
QByteArray Hex(const Container& c) {
  return Hex(c.data(), c.size());
}

// "da 04 00 07" -> the bytes; blanks are skipped.
inline std::vector<std::uint8_t> FromHex(const char* hex) {
  const QByteArray bytes = QByteArray::fromHex(hex);
  return {bytes.begin(), bytes.end()};
}

}  // namespace corvane::testing
