// Files taken in order by several threads and finished in that order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace tessarel {

// Hands the indices 0, 1, ... of a run's files to the threads that ask, and
// finishes the files in index order whichever thread completes them:
// whichever thread completes the file whose turn it is finishes it and every
// completed file after it, so no thread waits for another unless inFlight
// files are already taken ahead of the one whose turn it is.
class BatchSequencer {
 public:
  BatchSequencer(std::size_t files, std::size_t inFlight);

  std::size_t InFlight() const { return slots_.size(); }
  // Where a file taken and not yet finished may keep what it made: no two
  // such files share a slot.
  std::size_t Slot(std::size_t index) const { return index % slots_.size(); }

  // The next file, once fewer than InFlight are taken ahead of the one
  // whose turn it is; false when every file is taken.
  bool Take(std::size_t& index);
  // Returns once every file before index is finished.
  void WaitForTurn(std::size_t index);
  // Records the taken file index as completed, then calls finish (which
  // must not throw) for each file in order for as long as the one whose
  // turn it is has completed, unless another thread is at it.
  void Complete(std::size_t index, const std::function<void(std::size_t index)>& finish);

 private:
  const std::size_t files_;
  std::mutex mutex_;  // guards everything below
  std::condition_variable turnChanged_;
  std::size_t next_ = 0;  // the next file taken
  std::size_t turn_ = 0;  // the next file finished
  bool finishing_ = false;
  std::vector<char> slots_;  // whether the file in each slot has completed
};

}  // namespace tessarel
