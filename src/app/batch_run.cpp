#include "app/batch_run.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "convert/bmp_pair.h"
#include "convert/picture_source.h"
#include "convert/raw_file.h"
#include "platform/directory.h"
#include "platform/wildcard.h"

namespace tessarel {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, {}, FoldAscii, FoldAscii);
}

enum class Direction { ToBmp, ToRaw, Neither };

Direction DirectionOf(const std::string& format) {
  if (EqualsIgnoringCase(format, "bmp")) return Direction::ToBmp;
  if (EqualsIgnoringCase(format, "raw")) return Direction::ToRaw;
  return Direction::Neither;
}

// A mask goes with its picture, never on its own: its name prints nothing.
bool IsMaskName(const std::string& name) {
  return name.find("_mask.") != std::string::npos;
}

enum class Prepared { NotLoaded, NotStaged, Staged };

// One listed file: its output written where no final name shows it, then
// put in place, or not, at its turn.
struct Conversion {
  std::string inPath, outPath;  // as printed: the directories as typed
  std::string inFile, outFile;  // as used: the typed directories made native
  Prepared prepared = Prepared::NotLoaded;
  StagedFiles files;
};

// Loads the input and writes its output aside.
Prepared Prepare(Direction direction, const std::string& sizeMask, Conversion& item) {
  try {
    PixelImagePtr picture, mask;
    if (direction == Direction::ToBmp) {
      if (!LoadRawFile(item.inFile, sizeMask, picture, mask)) return Prepared::NotLoaded;
      return StageBmpPair(item.files, item.outFile, picture.get(), mask.get())
                 ? Prepared::Staged
                 : Prepared::NotStaged;
    }
    if (!LoadSourceImage(item.inFile, picture, mask)) return Prepared::NotLoaded;
    return StageRawFile(item.files, item.outFile, picture.get(), mask.get(), sizeMask)
               ? Prepared::Staged
               : Prepared::NotStaged;
  } catch (const std::exception&) {
    // Memory ran out: the output fails like any that cannot be written.
    return Prepared::NotStaged;
  }
}

// The result line, after the output is put in place unless that would
// replace the input or a file the run has written.
std::string Finish(Conversion& item, ProtectedFiles& protect) {
  if (item.prepared == Prepared::NotLoaded) return item.inPath + " -ERROR LOAD\n";
  protect.SetInput(item.inFile);
  if (item.prepared == Prepared::Staged && item.files.Commit(&protect)) {
    return item.inPath + " -OK\n";
  }
  return item.outPath + " -FAILD\n";
}

// The files of one run, converted by several threads while the run shows
// exactly what converting them one after another would: files are finished
// in listing order, and only when a file is finished is its output put in
// place and its line printed. Whichever thread completes the file whose turn
// it is finishes it and every completed file after it, so no thread waits
// for another unless too many files are already waiting.
class Batch {
 public:
  Batch(const RunRequest& request, std::vector<std::string> names)
      : request_(request),
        direction_(DirectionOf(request.format)),
        names_(std::move(names)),
        protect_(DirectoryOrDot(request.inputDir), DirectoryOrDot(request.outputDir)),
        completed_(names_.size() + 1),
        done_(names_.size()) {}

  void Run() {
    const std::size_t workers = BatchWorkers(std::thread::hardware_concurrency(), names_.size());
    parallel_ = workers > 1;
    std::vector<std::jthread> helpers;
    for (std::size_t n = 1; n < workers; ++n) {
      try {
        helpers.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        break;
      }
    }
    Work();
  }

 private:
  static std::string DirectoryOrDot(const std::string& typed) {
    return typed.empty() ? "." : NativePath(typed);
  }

  // Under -c:BMP a name ending in ".bmp", under -c:RAW one ending in ".raw",
  // may be what an earlier file of the run writes: it is read at its turn,
  // once every earlier output stands.
  bool MayBeAnEarlierOutput(std::string_view name) const {
    const std::string_view written = direction_ == Direction::ToBmp ? ".bmp" : ".raw";
    return EqualsIgnoringCase(name.substr(name.size() - std::min(name.size(), written.size())),
                              written);
  }

  void Work() {
    for (;;) {
      std::size_t index;
      {
        std::unique_lock lock(mutex_);
        // Each completed file waiting for its turn holds its staged output
        // open: their number stays bounded however long the listing is.
        turnChanged_.wait(lock,
                          [&] { return next_ == names_.size() || next_ < turn_ + kFilesInFlight; });
        if (next_ == names_.size()) return;
        index = next_++;
      }
      std::unique_ptr<Conversion> item;
      try {
        item = Convert(index);
      } catch (const std::exception&) {
        // Memory ran out even for the file's record: the file shows nothing.
      }
      Complete(index, std::move(item));
    }
  }

  // The file converted, its output staged; null for a file that prints nothing.
  std::unique_ptr<Conversion> Convert(std::size_t index) {
    const std::string& name = names_[index];
    if (IsMaskName(name)) return nullptr;
    auto item = std::make_unique<Conversion>();
    item->inPath = request_.inputDir + name;
    item->outPath = request_.outputDir + name;
    item->inFile = NativePath(request_.inputDir) + name;
    item->outFile = NativePath(request_.outputDir) + name;
    if (MayBeAnEarlierOutput(name)) WaitForTurn(index);
    {
      std::shared_lock shared(preparing_);
      item->prepared = Prepare(direction_, request_.sizeMask, *item);
    }
    // Where the imaging layer holds images whole, files converted side by
    // side share the memory one file alone could have had: a failure is
    // tried again with no other file in flight.
    if (parallel_ && item->prepared != Prepared::Staged && ImagesHeldWhole()) {
      std::unique_lock alone(preparing_);
      item->prepared = Prepare(direction_, request_.sizeMask, *item);
    }
    return item;
  }

  void WaitForTurn(std::size_t index) {
    std::unique_lock lock(mutex_);
    turnChanged_.wait(lock, [&] { return turn_ == index; });
  }

  // Records the file as completed, then finishes files in order for as long
  // as the one whose turn it is has completed, unless another thread is at it.
  void Complete(std::size_t index, std::unique_ptr<Conversion> item) {
    std::unique_lock lock(mutex_);
    done_[index] = std::move(item);
    completed_[index] = true;
    if (finishing_) return;  // that thread sees this file when its turn comes
    finishing_ = true;
    while (completed_[turn_]) {
      const std::unique_ptr<Conversion> finished = std::move(done_[turn_]);
      lock.unlock();
      if (finished) {
        try {
          const std::string line = Finish(*finished, protect_);
          std::fputs(line.c_str(), stdout);
        } catch (const std::exception&) {
          // Memory ran out for the result line: the file shows nothing.
        }
      }
      lock.lock();
      ++turn_;
      turnChanged_.notify_all();
    }
    finishing_ = false;
  }

  // Files completed ahead of their turn, at most: each holds its output open.
  static constexpr std::size_t kFilesInFlight = 32;

  const RunRequest& request_;
  const Direction direction_;
  const std::vector<std::string> names_;
  ProtectedFiles protect_;  // used by the finishing thread only
  bool parallel_ = false;
  std::shared_mutex preparing_;
  std::mutex mutex_;  // guards everything below
  std::condition_variable turnChanged_;
  std::size_t next_ = 0;  // the next file a thread takes
  std::size_t turn_ = 0;  // the next file to finish
  bool finishing_ = false;
  std::vector<char> completed_;  // and one more, never completed: where finishing stops
  std::vector<std::unique_ptr<Conversion>> done_;
};

}  // namespace

std::size_t BatchWorkers(unsigned cores, std::size_t files) {
  // Beyond this many files in flight the disk, not the processor, sets the pace.
  constexpr std::size_t kMaxWorkers = 8;
  return std::min({std::max<std::size_t>(cores, 1), kMaxWorkers, files});
}

void RunBatch(const RunRequest& request) {
  CreateOutputDirectory(request.outputDir);
  PutRightLeftovers(NativePath(request.outputDir));
  std::vector<std::string> names = FindMatchingNames(request.pattern);
  if (DirectionOf(request.format) == Direction::Neither) {
    for (const std::string& name : names) {
      if (!IsMaskName(name)) std::fputs("Wrong Parameters\n", stdout);
    }
    return;
  }
  Batch(request, std::move(names)).Run();
}

}  // namespace tessarel
