#include "app/batch_run.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
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

// Beyond this many files in flight the disk, not the processor, sets the pace.
constexpr unsigned kMaxWorkers = 8;

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
// exactly what converting them one after another would: each file's turn
// comes in listing order, and at its turn alone a file's output is put in
// place and its line printed.
class Batch {
 public:
  Batch(const RunRequest& request, std::vector<std::string> names)
      : request_(request),
        direction_(DirectionOf(request.format)),
        names_(std::move(names)),
        protect_(DirectoryOrDot(request.inputDir), DirectoryOrDot(request.outputDir)) {}

  void Run() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = std::min<std::size_t>({cores, kMaxWorkers, names_.size()});
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
        std::lock_guard lock(mutex_);
        if (next_ == names_.size()) return;
        index = next_++;
      }
      try {
        const std::string line = Convert(index);
        std::fputs(line.c_str(), stdout);
      } catch (const std::exception&) {
        // Memory ran out even for the result line: the file shows nothing.
        WaitForTurn(index);
      }
      EndTurn();
    }
  }

  // The file's line, at its turn, with its output in place if it converted.
  std::string Convert(std::size_t index) {
    const std::string& name = names_[index];
    if (IsMaskName(name)) {
      WaitForTurn(index);
      return {};
    }
    Conversion item;
    item.inPath = request_.inputDir + name;
    item.outPath = request_.outputDir + name;
    item.inFile = NativePath(request_.inputDir) + name;
    item.outFile = NativePath(request_.outputDir) + name;
    if (MayBeAnEarlierOutput(name)) WaitForTurn(index);
    {
      std::shared_lock shared(preparing_);
      item.prepared = Prepare(direction_, request_.sizeMask, item);
    }
    // Where the imaging layer holds images whole, files converted side by
    // side share the memory one file alone could have had: a failure is
    // tried again with no other file in flight.
    if (parallel_ && item.prepared != Prepared::Staged && ImagesHeldWhole()) {
      std::unique_lock alone(preparing_);
      item.prepared = Prepare(direction_, request_.sizeMask, item);
    }
    WaitForTurn(index);
    return Finish(item, protect_);
  }

  void WaitForTurn(std::size_t index) {
    std::unique_lock lock(mutex_);
    turnChanged_.wait(lock, [&] { return turn_ == index; });
  }

  void EndTurn() {
    {
      std::lock_guard lock(mutex_);
      ++turn_;
    }
    turnChanged_.notify_all();
  }

  const RunRequest& request_;
  const Direction direction_;
  const std::vector<std::string> names_;
  ProtectedFiles protect_;  // used at a file's turn only
  bool parallel_ = false;
  std::mutex mutex_;
  std::condition_variable turnChanged_;
  std::size_t next_ = 0;  // the next file a thread takes
  std::size_t turn_ = 0;  // the file whose output may be put in place
  std::shared_mutex preparing_;
};

}  // namespace

void RunBatch(const RunRequest& request) {
  CreateOutputDirectory(request.outputDir);
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
