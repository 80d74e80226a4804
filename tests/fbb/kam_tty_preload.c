/* Preloaded into the BBS under test (LD_PRELOAD). Its KAM driver, as built
 * for Linux, never opens the serial device of a KAM port: the port's
 * descriptor stays -1, and every byte it sends or polls for goes to that
 * descriptor (EBADF). This library opens the terminal named by TW_KAM_TTY
 * (raw, 8 bits) and serves the driver's three calls on descriptor -1: the
 * one-byte write, the one-byte read, and FIONREAD. Every other descriptor
 * goes to the C library untouched, so the program itself runs as shipped.
 *
 * The terminal is opened at the first call that needs it, and again after a
 * failure, so the BBS may start before the terminal's symlink exists. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#define KAM_FD (-1)

typedef ssize_t (*io_fn)(int, void*, size_t);
typedef ssize_t (*write_fn)(int, const void*, size_t);
typedef int (*ioctl_fn)(int, unsigned long, ...);

static int tty_fd = -1;

/* The C library's own function of that name (dlsym hands back an object
 * pointer; copying it keeps the conversion well defined). */
static void next(const char* name, void* function, size_t size) {
  void* found = dlsym(RTLD_NEXT, name);
  memcpy(function, &found, size);
}

static int complained;

static int tty(void) {
  if (tty_fd >= 0) return tty_fd;
  const char* path = getenv("TW_KAM_TTY");
  if (path == NULL || *path == '\0') return -1;
  const int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (!complained) {
      complained = 1;
      fprintf(stderr, "kam tty: cannot open %s yet\n", path);
    }
    return -1;
  }
  struct termios raw;
  if (tcgetattr(fd, &raw) == 0) {
    cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &raw);
  }
  fprintf(stderr, "kam tty: %s opened\n", path);
  tty_fd = fd;
  return fd;
}

ssize_t read(int fd, void* buffer, size_t size) {
  static io_fn real;
  if (real == NULL) next("read", &real, sizeof real);
  if (fd == KAM_FD) {
    fd = tty();
    if (fd < 0) {
      errno = EBADF;
      return -1;
    }
  }
  return real(fd, buffer, size);
}

ssize_t write(int fd, const void* buffer, size_t size) {
  static write_fn real;
  if (real == NULL) next("write", &real, sizeof real);
  if (fd == KAM_FD) {
    fd = tty();
    if (fd < 0) {
      errno = EBADF;
      return -1;
    }
  }
  return real(fd, buffer, size);
}

/* The driver asks with a long; the terminal answers with an int. */
int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real;
  if (real == NULL) next("ioctl", &real, sizeof real);
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (fd != KAM_FD) return real(fd, request, argument);
  const int t = tty();
  if (t < 0) {
    errno = EBADF;
    return -1;
  }
  if (request == FIONREAD) {
    int waiting = 0;
    const int result = real(t, FIONREAD, &waiting);
    if (result == 0) *(long*)argument = waiting;
    return result;
  }
  return real(t, request, argument);
}
