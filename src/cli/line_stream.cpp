#include "line_stream.h"

namespace corvane::cli {

void LineStreamBuf::Put(char c) {
  if (c != '\n') {
    pending_ += c;
    return;
  }
  std::string line;
  line.swap(pending_);
  onLine_(line);
}

LineStreamBuf::int_type LineStreamBuf::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  Put(traits_type::to_char_type(ch));
  return ch;
}

std::streamsize LineStreamBuf::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) Put(text[i]);
  return count;
}

}  // namespace corvane::cli
