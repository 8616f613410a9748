// Preloaded for a case's run, as TESSAREL_SHIM says: "plainfs" is a file system
// with neither unnamed files (O_TMPFILE) nor hard links, as vfat; "write" or
// "pread" makes the first such call fail, as a failing disk (EIO) or a signal
// (EINTR) would; "alloc N" makes every allocation of exactly N bytes fail, as
// when memory runs out.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool Is(const char* mode) {
  static const char* const shim = std::getenv("TESSAREL_SHIM");
  return shim != nullptr && std::strcmp(shim, mode) == 0;
}

bool FirstCall(const char* call) {
  static std::atomic<bool> called{false};
  return Is(call) && !called.exchange(true);
}

int Refuse(int error) {
  errno = error;
  return -1;
}

template <typename Function>
Function* Next(const char* name, Function*) {
  return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

// The size "alloc N" refuses; 0 for none. Reads the environment only, and
// again each time until it is there: the first allocations come before it.
bool Refused(std::size_t size) {
  static std::atomic<std::size_t> refused{0};
  const char* shim = refused == 0 ? std::getenv("TESSAREL_SHIM") : nullptr;
  if (shim != nullptr && std::strncmp(shim, "alloc ", 6) == 0)
    refused = std::strtoull(shim + 6, 0, 10);
  return size != 0 && size == refused;
}

// The next definition, for the sanitizers' allocators as for the C library's.
template <typename Function>
Function* Real(Function*& slot, const char* name) {
  if (slot == nullptr) slot = reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
  return slot;
}
using Allocate = void*(std::size_t);
Allocate* realMalloc = nullptr;
Allocate* realNew = nullptr;
void* (*realCalloc)(std::size_t, std::size_t) = nullptr;

void* NewOrNull(std::size_t size) {
  return Refused(size) ? nullptr : Real(realNew, "_Znwm")(size);
}

int Open(const char* path, int flags, va_list args) {
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, mode_t) : 0;
  if (Is("plainfs") && (flags & O_TMPFILE) == O_TMPFILE) return Refuse(EOPNOTSUPP);
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
int link(const char* from, const char* to) {
  return Is("plainfs") ? Refuse(EPERM) : Next("link", &link)(from, to);
}
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  return Is("plainfs") ? Refuse(EPERM) : Next("linkat", &linkat)(fromDir, from, toDir, to, flags);
}
ssize_t write(int fd, const void* bytes, size_t size) {
  return FirstCall("write") ? Refuse(EIO) : Next("write", &write)(fd, bytes, size);
}
ssize_t pread(int fd, void* bytes, size_t size, off_t offset) {
  return FirstCall("pread") ? Refuse(EINTR) : Next("pread", &pread)(fd, bytes, size, offset);
}
ssize_t pread64(int, void*, size_t, off_t) __attribute__((alias("pread")));

void* malloc(size_t size) {
  return Refused(size) ? Refuse(ENOMEM), nullptr : Real(realMalloc, "malloc")(size);
}
void* calloc(size_t count, size_t size) {
  const bool refused = size != 0 && count <= SIZE_MAX / size && Refused(count * size);
  return refused ? Refuse(ENOMEM), nullptr : Real(realCalloc, "calloc")(count, size);
}
}

// The sanitizers' operator new takes no detour through malloc.
void* operator new(std::size_t size) {
  void* p = NewOrNull(size);
  return p != nullptr ? p : throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return NewOrNull(size);
}
