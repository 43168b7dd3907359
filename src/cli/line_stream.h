// An output stream buffer that hands on whole lines: whatever is written is collected until its
// '\n', and each complete line goes to the handler without it. Used to give each port of a gang
// its own standard output and error, whose lines are then prefixed with the port.
#pragma once
#include <functional>
#include <streambuf>
#include <string>

namespace corvane::cli {

class LineStreamBuf : public std::streambuf {
 public:
  using LineHandler = std::function<void(const std::string& line)>;
  explicit LineStreamBuf(LineHandler onLine) : onLine_(std::move(onLine)) {}

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;

 private:
  void Put(char c);

  LineHandler onLine_;
  std::string pending_;
};

}  // namespace corvane::cli
