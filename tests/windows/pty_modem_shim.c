/* Test-only LD_PRELOAD shim for Wine: a pseudo-terminal has no modem lines, so TIOCMGET and its
 * kin fail there, and Wine then cancels every WaitCommEvent on it. On a pseudo-terminal slave
 * this answers them from a per-descriptor record of the lines (CTS, DSR and DCD up; DTR and RTS as
 * last set). Everything else goes to the real ioctl. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

enum { kMaxFds = 4096 };
static int lines[kMaxFds];

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_pty_slave(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  const unsigned int major_number = major(st.st_rdev);
  return major_number >= 136 && major_number <= 143; /* Unix98 pseudo-terminal slaves */
}

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real_ioctl;
  if (!real_ioctl) real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  const int modem = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
  if (!modem || fd < 0 || fd >= kMaxFds || !is_pty_slave(fd)) return real_ioctl(fd, request, argument);
  int* bits = (int*)argument;
  const int always = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
  if (request == TIOCMGET) {
    *bits = (lines[fd] & (TIOCM_DTR | TIOCM_RTS)) | always;
  } else if (request == TIOCMSET) {
    lines[fd] = *bits;
  } else if (request == TIOCMBIS) {
    lines[fd] |= *bits;
  } else {
    lines[fd] &= ~*bits;
  }
  return 0;
}
