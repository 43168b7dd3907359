// Byte buffers as readable hex strings, so a failed comparison shows the bytes.
#pragma once
#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace corvane::testing {

inline QByteArray Hex(const std::uint8_t* data, std::size_t size) {
  return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).toHex(' ');
}

template <typename Container>
QByteArray Hex(const Container& c) {
  return Hex(c.data(), c.size());
}

}  // namespace corvane::testing
