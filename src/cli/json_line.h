// One JSON object on one line, for JSON Lines output (events, log records). Keys and values are
// UTF-8; strings are escaped as JSON requires, and bytes that are not UTF-8 (a file name in
// another encoding) become U+FFFD, so that every line parses.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::cli {

// `text` as a JSON string, quotes included.
std::string JsonString(std::string_view text);

class JsonLine {
 public:
  JsonLine& String(std::string_view key, std::string_view value);
  JsonLine& Integer(std::string_view key, std::int64_t value);
  // A number with `decimals` digits after the point.
  JsonLine& Decimal(std::string_view key, double value, int decimals);
  JsonLine& Bool(std::string_view key, bool value);
  JsonLine& Null(std::string_view key);
  JsonLine& Strings(std::string_view key, const std::vector<std::string>& values);
  // `json` as it is: an object or array made by another JsonLine's caller.
  JsonLine& Raw(std::string_view key, std::string_view json);

  // The object, closed, with the line's newline.
  std::string Text() const { return text_ + "}\n"; }

 private:
  void Key(std::string_view key);

  std::string text_ = "{";
};

}  // namespace corvane::cli
