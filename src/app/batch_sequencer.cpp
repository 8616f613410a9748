#include "app/batch_sequencer.h"

#include <algorithm>

namespace tessarel {

BatchSequencer::BatchSequencer(std::size_t files, std::size_t inFlight)
    : files_(files), slots_(std::max<std::size_t>(inFlight, 1)) {}

bool BatchSequencer::Take(std::size_t& index) {
  std::unique_lock lock(mutex_);
  turnChanged_.wait(lock, [&] { return next_ == files_ || next_ < turn_ + slots_.size(); });
  if (next_ == files_) return false;
  index = next_++;
  return true;
}

void BatchSequencer::WaitForTurn(std::size_t index) {
  std::unique_lock lock(mutex_);
  turnChanged_.wait(lock, [&] { return turn_ == index; });
}

void BatchSequencer::Complete(std::size_t index,
                              const std::function<void(std::size_t index)>& finish) {
  std::unique_lock lock(mutex_);
  slots_[Slot(index)] = true;
  if (finishing_) return;  // that thread sees this file when its turn comes
  finishing_ = true;
  while (turn_ < next_ && slots_[Slot(turn_)]) {
    const std::size_t finished = turn_;
    lock.unlock();
    finish(finished);
    lock.lock();
    slots_[Slot(turn_)] = false;
    ++turn_;
    turnChanged_.notify_all();
  }
  finishing_ = false;
}

}  // namespace tessarel
