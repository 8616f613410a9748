// Preloaded for a case's `plainfs` run: no unnamed files (O_TMPFILE), no hard links, as on vfat.
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

int Refuse(int error) {
  errno = error;
  return -1;
}

int Open(const char* path, int flags, va_list args) {
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
  if ((flags & O_TMPFILE) == O_TMPFILE) return Refuse(EOPNOTSUPP);
  return reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"))(path, flags,
                                                                                    mode);
}

}  // namespace

extern "C" {
int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = Open(path, flags, args);
  va_end(args);
  return fd;
}
int open64(const char* path, int flags, ...) __attribute__((alias("open")));
int link(const char*, const char*) {
  return Refuse(EPERM);
}
int linkat(int, const char*, int, const char*, int) {
  return Refuse(EPERM);
}
}
