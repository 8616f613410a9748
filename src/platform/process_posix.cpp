#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <string>
#include <thread>

#include "platform/failure_reason.h"
#include "platform/process.h"

namespace tessarel {
namespace {

// Beyond this many descriptors no batch comes near the limit: they are not counted.
constexpr rlim_t kCountedHandles = 1 << 16;

bool IsOpen(int fd) {
  return fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

}  // namespace

void PrepareStandardStreams() {
  signal(SIGPIPE, SIG_IGN);
  for (int fd = 0; fd <= 2; ++fd) {
    // The lowest free descriptor is the one closed: the null device takes it.
    if (!IsOpen(fd) && open("/dev/null", O_RDWR) < 0) return;
  }
}

void ShareOneHeap() {
  mallopt(M_ARENA_MAX, 1);
}

unsigned UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
    return unsigned(CPU_COUNT(&set));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

std::string LastSystemError() {
  return std::strerror(errno);
}

// The descriptors open now: the entries of /proc/self/fd but the one that
// lists them; where it cannot be listed, every descriptor below the limit is
// asked, which is slow only where the limit is high.
std::size_t OpenFileHandles(rlim_t limit) {
  if (DIR* listing = opendir("/proc/self/fd")) {
    std::size_t open = 0;
    while (const dirent* entry = readdir(listing)) open += entry->d_name[0] != '.';
    closedir(listing);
    return open - std::min<std::size_t>(open, 1);
  }
  std::size_t open = 0;
  for (int fd = 0; rlim_t(fd) < limit; ++fd) open += IsOpen(fd);
  return open;
}

std::size_t SpareFileHandles() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > kCountedHandles) {
    return std::numeric_limits<std::size_t>::max();
  }
  return std::size_t(limit.rlim_cur) -
         std::min<std::size_t>(limit.rlim_cur, OpenFileHandles(limit.rlim_cur));
}

}  // namespace tessarel
