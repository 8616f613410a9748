#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include "test_support/test_support.h"

namespace tessarel::testing {

extern const char* const kPlatform = "posix";

ToolResult RunTool(const std::vector<std::string>& args, const std::string& workDir,
                   const RunLimits& limit) {
  ToolResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  std::vector<std::string> strings{TESSAREL_EXE};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  const std::string errors = workDir + ".stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    const int errorFile = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (errorFile < 0 || dup2(errorFile, STDERR_FILENO) < 0) _exit(127);
    // Only the standard three, as from a shell: a limit on open files then
    // means the same whatever the test runner holds open.
    close_range(3, ~0u, 0);
    if (chdir(workDir.c_str()) != 0) _exit(127);
    const rlimit files{limit.openFiles, limit.openFiles};
    setrlimit(RLIMIT_NOFILE, &files);
    if (limit.bytes != 0) {
      const rlimit bytes{limit.bytes, limit.bytes};
      if (setrlimit(RLIMIT_FSIZE, &bytes) != 0) _exit(127);
      signal(SIGXFSZ, limit.killAtLimit ? SIG_DFL : SIG_IGN);
    }
    if (limit.noInput) close(STDIN_FILENO);
    if (limit.noOutput) close(STDOUT_FILENO);
    umask(022);
    if (!limit.shim.empty()) {
      // The shim comes before the sanitizer's runtime, which must be told it may.
      const char* asan = std::getenv("ASAN_OPTIONS");
      const std::string options = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
      if (setenv("LD_PRELOAD", TESSAREL_FS_SHIM, 1) != 0 ||
          setenv("TESSAREL_SHIM", limit.shim.c_str(), 1) != 0 ||
          setenv("ASAN_OPTIONS", options.c_str(), 1) != 0)
        _exit(127);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno != EINTR) break;
    if (n > 0) result.output.append(buffer, std::size_t(n));
  }
  close(fds[0]);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  if (std::filesystem::exists(errors)) {
    const std::vector<std::uint8_t> bytes = ReadBytes(errors);
    result.errors.assign(bytes.begin(), bytes.end());
    std::filesystem::remove(errors);
  }
  return result;
}

}  // namespace tessarel::testing
