#include "terminal.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace corvane::cli {

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

std::size_t TerminalColumns(std::FILE* stream) {
#ifdef _WIN32
  (void)stream;
  return 0;
#else
  winsize size{};
  if (!IsTerminal(stream) || ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
#endif
}

}  // namespace corvane::cli
