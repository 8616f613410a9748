// Work done beside the caller's own on a second thread, where that pays.
#pragma once

#include <cstddef>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

namespace tessarel {

// Starting a thread costs about what converting this many pixels does.
inline constexpr std::size_t kThreadFromPixels = 64 * 1024;

// Runs task on a thread of its own when wanted and a thread can start;
// otherwise the caller runs it itself through RunHereUnlessStarted.
class SideTask {
 public:
  SideTask(bool wanted, std::function<void()> task) : task_(std::move(task)) {
    if (!wanted) return;
    try {
      thread_ = std::jthread(task_);
    } catch (const std::system_error&) {
    }
  }
  bool Started() const { return thread_.joinable(); }
  // Waits for the task on its thread, or runs it here when none took it.
  void RunHereUnlessStarted() {
    if (thread_.joinable()) {
      thread_.join();
    } else {
      task_();
    }
  }

 private:
  std::function<void()> task_;
  std::jthread thread_;
};

}  // namespace tessarel
