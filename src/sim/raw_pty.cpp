#include "raw_pty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace corvane {
namespace {

std::string SlaveName(int master) {
#if defined(__linux__)
  char name[128];
  if (ptsname_r(master, name, sizeof name) != 0) return {};
  return name;
#else
  static std::mutex guard;  // ptsname returns a static buffer
  std::lock_guard<std::mutex> lock(guard);
  const char* name = ptsname(master);
  return name ? name : "";
#endif
}

}  // namespace

RawPty OpenRawPty() {
  RawPty pty;
  auto fail = [&pty](const std::string& what) {
    pty.error = what + ": " + std::strerror(errno);
    if (pty.slave >= 0) ::close(pty.slave);
    if (pty.master >= 0) ::close(pty.master);
    pty.master = pty.slave = -1;
    return pty;
  };
  pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty.master < 0) return fail("posix_openpt");
  if (grantpt(pty.master) != 0) return fail("grantpt");
  if (unlockpt(pty.master) != 0) return fail("unlockpt");
  pty.slavePath = SlaveName(pty.master);
  if (pty.slavePath.empty()) return fail("ptsname");
  pty.slave = ::open(pty.slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty.slave < 0) return fail("open " + pty.slavePath);
  termios tty{};
  if (tcgetattr(pty.slave, &tty) != 0) return fail("tcgetattr");
  cfmakeraw(&tty);
  cfsetispeed(&tty, B115200);
  cfsetospeed(&tty, B115200);
  if (tcsetattr(pty.slave, TCSANOW, &tty) != 0) return fail("tcsetattr");
  return pty;
}

}  // namespace corvane
