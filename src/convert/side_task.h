// Work done beside the caller's own on a second thread, where that pays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>

#include "image/pixel_image.h"
#include "platform/failure_reason.h"
#include "platform/process.h"

namespace tessarel {

// Starting a thread costs about what converting this many pixels does.
inline constexpr std::size_t kThreadFromPixels = 64 * 1024;

// Whether two images pay for being read side by side, one per thread: two
// distinct images, big enough, on a layer that does not then hold both
// whole, in a process that may run on more than one processor.
inline bool WorthTwoThreads(PixelImage* a, PixelImage* b) {
  static const bool manyProcessors = UsableProcessors() > 1;
  return manyProcessors && a != nullptr && b != nullptr && a != b && !ImagesHeldWhole() &&
         std::uint64_t{a->Width()} * a->Height() >= kThreadFromPixels;
}

// Runs task on a thread of its own when wanted and a thread can start;
// otherwise the caller runs it itself through RunHereUnlessStarted.
class SideTask {
 public:
  SideTask(bool wanted, std::function<void()> task) : task_(std::move(task)) {
    if (!wanted) return;
    try {
      // The task says why it fails to the reason its caller's thread collects.
      thread_ = std::jthread([this, reason = FailureReason::Current()] {
        const FailureReason::Lend lend(reason);
        task_();
      });
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
