#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/process.h"

namespace tessarel {
namespace {

TEST(Process, ProcessorsAreThoseTheAffinityAllows) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(UsableProcessors(), 1u);
  ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
  EXPECT_EQ(UsableProcessors(), unsigned(CPU_COUNT(&all)));
}

TEST(Process, SpareHandlesAreTheLimitLessWhatIsOpen) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const rlimit low{256, saved.rlim_max};
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const std::size_t spare = SpareFileHandles();
  const int fd = open("/dev/null", O_RDONLY);
  EXPECT_EQ(SpareFileHandles(), spare - 1);
  close(fd);
  EXPECT_LT(spare, 256u);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
}

}  // namespace
}  // namespace tessarel
