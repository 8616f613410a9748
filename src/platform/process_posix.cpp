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

std::size_t SpareFileHandles() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > kCountedHandles) {
    return std::numeric_limits<std::size_t>::max();
  }
  std::size_t spare = 0;
  for (int fd = 0; rlim_t(fd) < limit.rlim_cur; ++fd) {
    if (!IsOpen(fd)) ++spare;
  }
  return spare;
}

}  // namespace tessarel
