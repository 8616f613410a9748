// Preloaded for a case's run, as TESSAREL_SHIM says: "plainfs" is a file system
// with neither unnamed files (O_TMPFILE) nor hard links, as vfat; "write" or
// "pread" makes the first such call fail, as a failing disk (EIO) or a signal
// (EINTR) would; "alloc N" makes every allocation of exactly N bytes fail, as
// when memory runs out.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
std::size_t RefusedSize() {
  static std::atomic<std::size_t> size{0};
  if (size == 0) {
    const char* shim = std::getenv("TESSAREL_SHIM");
    if (shim != nullptr && std::strncmp(shim, "alloc ", 6) == 0) {
      size = std::size_t(std::strtoull(shim + 6, nullptr, 10));
    }
  }
  return size;
}

bool Refused(std::size_t size) {
  return size != 0 && size == RefusedSize();
}

void* NoMemory() {
  errno = ENOMEM;
  return nullptr;
}

// Allocations made while dlsym looks up the real allocator come from here.
alignas(16) char early[4096];
std::size_t earlyUsed = 0;
bool resolving = false;

bool IsEarly(const void* p) {
  return p >= early && p < early + sizeof early;
}

void* Early(std::size_t size) {
  size = (size + 15) / 16 * 16;
  if (size > sizeof early - earlyUsed) return nullptr;
  void* p = early + earlyUsed;
  earlyUsed += size;
  return p;
}

// The next definition of an allocation function, looked up on first use.
template <typename Function>
Function* Real(Function*& real, const char* name) {
  if (real == nullptr && !resolving) {
    resolving = true;
    real = reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
    resolving = false;
  }
  return real;
}

using Malloc = void*(std::size_t);
using Calloc = void*(std::size_t, std::size_t);
using Realloc = void*(void*, std::size_t);
using Free = void(void*);
Malloc* realMalloc = nullptr;
Calloc* realCalloc = nullptr;
Realloc* realRealloc = nullptr;
Free* realFree = nullptr;
Malloc* realNew = nullptr;
Malloc* realNewArray = nullptr;

void* Allocate(Malloc*& real, const char* name, std::size_t size) {
  if (Refused(size)) throw std::bad_alloc();
  Malloc* next = Real(real, name);
  void* p = next != nullptr ? next(size) : nullptr;
  if (p == nullptr) throw std::bad_alloc();
  return p;
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
  if (Refused(size)) return NoMemory();
  Malloc* real = Real(realMalloc, "malloc");
  return real != nullptr ? real(size) : Early(size);
}
void* calloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return NoMemory();
  if (Refused(count * size)) return NoMemory();
  Calloc* real = Real(realCalloc, "calloc");
  return real != nullptr ? real(count, size) : Early(count * size);  // early is zero
}
void* realloc(void* p, size_t size) {
  if (Refused(size)) return NoMemory();
  if (IsEarly(p)) {
    void* moved = malloc(size);
    const auto left = std::size_t(early + sizeof early - static_cast<char*>(p));
    if (moved != nullptr) std::memcpy(moved, p, std::min(size, left));
    return moved;
  }
  Realloc* real = Real(realRealloc, "realloc");
  return real != nullptr ? real(p, size) : nullptr;
}
void free(void* p) {
  if (p == nullptr || IsEarly(p)) return;
  if (Free* real = Real(realFree, "free")) real(p);
}
}

// The sanitizers' operator new takes no detour through malloc.
void* operator new(std::size_t size) {
  return Allocate(realNew, "_Znwm", size);
}
void* operator new[](std::size_t size) {
  return Allocate(realNewArray, "_Znam", size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(realNew, "_Znwm", size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(realNewArray, "_Znam", size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
