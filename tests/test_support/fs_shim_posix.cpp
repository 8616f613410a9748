// Preloaded for a case's run, as TESSAREL_SHIM says (modes separated by
// spaces): "plainfs" is a file system with neither unnamed files (O_TMPFILE)
// nor hard links, as vfat; "write", "link", "rename" or "read" (pread) makes
// the first such call fail, as a failing disk would (EIO), "pread" as a
// signal would (EINTR) and "open" as a process out of descriptors would
// (EMFILE); "exchange" refuses to swap two names (EINVAL), as a file system
// without RENAME_EXCHANGE; "kill N" kills the process at a call that changes
// a name, after N of them; "alloc N" makes every allocation of exactly N
// bytes fail, as when memory runs out, and "alloc N once" only the first, as
// when another file held it for a moment.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool Is(const char* mode) {
  static const char* const shim = std::getenv("TESSAREL_SHIM");
  const std::size_t length = std::strlen(mode);
  const char* word = shim != nullptr ? shim : "";
  while (*(word += std::strspn(word, " ")) != '\0') {
    const std::size_t size = std::strcspn(word, " ");
    if (size == length && std::strncmp(word, mode, length) == 0) return true;
    word += size;
  }
  return false;
}

// Stops the process where a kill -9 would, before the call that changes a name
// is made, so that every moment between two such calls can be looked at.
void KillAtNameChange() {
  static const long made =
      Is("kill") ? std::atol(std::strstr(std::getenv("TESSAREL_SHIM"), "kill ") + 5) : -1;
  static std::atomic<long> calls{0};
  if (made >= 0 && calls++ == made) kill(getpid(), SIGKILL);
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
  static std::atomic<bool> once{false}, spent{false};
  const char* shim = refused == 0 ? std::getenv("TESSAREL_SHIM") : nullptr;
  const char* mode = shim != nullptr ? std::strstr(shim, "alloc ") : nullptr;
  if (mode != nullptr) {
    char* end = nullptr;
    refused = std::strtoull(mode + 6, &end, 10);
    once = std::strncmp(end, " once", 5) == 0;
  }
  return size != 0 && size == refused && !(once && spent.exchange(true));
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
  if (FirstCall("open")) return Refuse(EMFILE);
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
  KillAtNameChange();
  if (FirstCall("link")) return Refuse(EIO);
  return Is("plainfs") ? Refuse(EPERM) : Next("link", &link)(from, to);
}
int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  KillAtNameChange();
  if (FirstCall("link")) return Refuse(EIO);
  return Is("plainfs") ? Refuse(EPERM) : Next("linkat", &linkat)(fromDir, from, toDir, to, flags);
}
ssize_t write(int fd, const void* bytes, size_t size) {
  return FirstCall("write") ? Refuse(EIO) : Next("write", &write)(fd, bytes, size);
}
ssize_t pread(int fd, void* bytes, size_t size, off_t offset) {
  if (FirstCall("read")) return Refuse(EIO);
  return FirstCall("pread") ? Refuse(EINTR) : Next("pread", &pread)(fd, bytes, size, offset);
}
ssize_t pread64(int, void*, size_t, off_t) __attribute__((alias("pread")));
int rename(const char* from, const char* to) {
  KillAtNameChange();
  if (FirstCall("rename")) return Refuse(EIO);
  return Next("rename", &rename)(from, to);
}
int renameat(int fromDir, const char* from, int toDir, const char* to) {
  KillAtNameChange();
  if (FirstCall("rename")) return Refuse(EIO);
  return Next("renameat", &renameat)(fromDir, from, toDir, to);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  KillAtNameChange();
  if (FirstCall("rename")) return Refuse(EIO);
  if (Is("exchange") && (flags & RENAME_EXCHANGE) != 0) return Refuse(EINVAL);
  return Next("renameat2", &renameat2)(fromDir, from, toDir, to, flags);
}
int unlink(const char* path) {
  KillAtNameChange();
  return Next("unlink", &unlink)(path);
}
int unlinkat(int dir, const char* path, int flags) {
  KillAtNameChange();
  return Next("unlinkat", &unlinkat)(dir, path, flags);
}

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
