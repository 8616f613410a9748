// Preloaded into the tool for a case's `plainfs` run: the file system then
// makes neither unnamed files (O_TMPFILE) nor hard links, as vfat and some
// network file systems do not.
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

using OpenFunction = int (*)(const char*, int, ...);

int Refused(int error) {
  errno = error;
  return -1;
}

int OpenWithout(const char* name, const char* path, int flags, va_list args) {
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
  if ((flags & O_TMPFILE) == O_TMPFILE) return Refused(EOPNOTSUPP);
  const auto next = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, name));
  return next(path, flags, mode);
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = OpenWithout("open", path, flags, args);
  va_end(args);
  return fd;
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = OpenWithout("open64", path, flags, args);
  va_end(args);
  return fd;
}

int link(const char*, const char*) {
  return Refused(EPERM);
}

int linkat(int, const char*, int, const char*, int) {
  return Refused(EPERM);
}

}  // extern "C"
