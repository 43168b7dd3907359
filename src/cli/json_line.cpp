#include "json_line.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace corvane::cli {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at `text[at]`, or 0 when it is not one (an
// overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char first = byte(0);
  if (first < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (!Continuation(byte(i))) return 0;
  return length;
}

void AppendEscaped(std::string& out, char c) {
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  if (static_cast<unsigned char>(c) < 0x20) {
    char code[8];
    std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    out += code;
    return;
  }
  out += c;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = SequenceLength(text, at);
    if (length == 0) {
      out += kReplacement;
      ++at;
    } else if (length == 1) {
      AppendEscaped(out, text[at++]);
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  out += '"';
  return out;
}

void JsonLine::Key(std::string_view key) {
  if (text_.size() > 1) text_ += ',';
  text_ += JsonString(key);
  text_ += ':';
}

JsonLine& JsonLine::String(std::string_view key, std::string_view value) {
  Key(key);
  text_ += JsonString(value);
  return *this;
}

JsonLine& JsonLine::Integer(std::string_view key, std::int64_t value) {
  Key(key);
  text_ += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::Decimal(std::string_view key, double value, int decimals) {
  // Always a decimal point, whatever the locale (snprintf would follow LC_NUMERIC).
  char number[64];
  const auto written = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, decimals);
  // JSON has no NaN or infinity; a number too long for the buffer is not one we write either.
  if (!std::isfinite(value) || written.ec != std::errc()) return Null(key);
  Key(key);
  text_.append(number, written.ptr);
  return *this;
}

JsonLine& JsonLine::Bool(std::string_view key, bool value) {
  Key(key);
  text_ += value ? "true" : "false";
  return *this;
}

JsonLine& JsonLine::Null(std::string_view key) {
  Key(key);
  text_ += "null";
  return *this;
}

JsonLine& JsonLine::Strings(std::string_view key, const std::vector<std::string>& values) {
  Key(key);
  text_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) text_ += ',';
    text_ += JsonString(values[i]);
  }
  text_ += ']';
  return *this;
}

JsonLine& JsonLine::Raw(std::string_view key, std::string_view json) {
  Key(key);
  text_ += json;
  return *this;
}

}  // namespace corvane::cli
