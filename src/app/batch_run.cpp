#include "app/batch_run.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/batch_sequencer.h"
#include "app/protected_files.h"
#include "convert/bmp_pair.h"
#include "convert/picture_source.h"
#include "convert/raw_file.h"
#include "files/file_identity.h"
#include "files/staged_files.h"
#include "platform/directory.h"
#include "platform/failure_reason.h"
#include "platform/path_names.h"
#include "platform/process.h"
#include "platform/shortage.h"
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
bool IsMaskName(std::string_view name) {
  return name.find("_mask.") != std::string_view::npos;
}

// The threads that convert a run's files: one per processor the process may
// use, at most eight (beyond that the disk, not the processor, sets the
// pace), and no more than there are files.
std::size_t BatchWorkers(unsigned processors, std::size_t files) {
  constexpr std::size_t kMaxWorkers = 8;
  return std::min({std::size_t{processors}, kMaxWorkers, files});
}

enum class Prepared { NotLoaded, NotStaged, Staged };

// One listed file: its output written where no final name shows it, then
// put in place, or not, at its turn.
struct Conversion {
  std::string inPath, outPath;  // as printed: the directories as typed
  std::string inFile, outFile;  // as used: the typed directories made native
  Prepared prepared = Prepared::NotLoaded;
  std::string reason;  // why it was not staged
  StagedFiles files;
};

// The reason for a failure, on standard error.
void ReportFailure(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "Tessarel: %s: %s\n", path.c_str(), reason.c_str());
}

Prepared PrepareExplained(Direction direction, const std::string& sizeMask, Conversion& item) {
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
    NoteShortage();
    Explain("not enough memory");
    return Prepared::NotStaged;
  }
}

// Loads the input and writes its output aside; says why in item.reason when
// it cannot.
Prepared Prepare(Direction direction, const std::string& sizeMask, Conversion& item) {
  FailureReason why;
  const Prepared prepared = PrepareExplained(direction, sizeMask, item);
  item.reason = prepared == Prepared::Staged ? std::string() : why.Text();
  return prepared;
}

// The result line, after the output is put in place unless that would
// replace the input or a file the run has written; the reason for a failure
// goes to standard error. outputDirFailure says why the output directory
// could not be made, if it could not.
void Finish(Conversion& item, ProtectedFiles& protect, const std::string& outputDirFailure) {
  std::string line, path, reason = item.reason;
  if (item.prepared == Prepared::NotLoaded) {
    line = item.inPath + " -ERROR LOAD\n";
    path = item.inPath;
  } else {
    protect.SetInput(item.inFile);
    FailureReason why;
    if (item.prepared == Prepared::Staged && item.files.Commit(&protect)) {
      std::fputs((item.inPath + " -OK\n").c_str(), stdout);
      return;
    }
    if (item.prepared == Prepared::Staged) reason = why.Text();
    if (!outputDirFailure.empty()) reason = outputDirFailure;
    line = item.outPath + " -FAILD\n";
    path = item.outPath;
  }
  std::fputs(line.c_str(), stdout);
  // In order with the result lines where both go to one terminal.
  std::fflush(stdout);
  ReportFailure(path, reason.empty() ? "cannot be converted" : reason);
}

// The files of one run, converted by several threads while the run shows
// exactly what converting them one after another would: files are finished
// in listing order, and only when a file is finished is its output put in
// place and its line printed.
class Batch {
 public:
  Batch(const RunRequest& request, NameList names, std::string outputDirFailure)
      : request_(request),
        direction_(DirectionOf(request.format)),
        names_(std::move(names)),
        protect_(DirectoryOrDot(request.inputDir), DirectoryOrDot(request.outputDir)),
        outputDirFailure_(std::move(outputDirFailure)),
        sequencer_(names_.size(), FilesInFlight(SpareFileHandles())),
        staged_(sequencer_.InFlight()) {}

  void Run() {
    const std::size_t workers =
        std::min(BatchWorkers(UsableProcessors(), names_.size()), sequencer_.InFlight());
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
  // and a link whatever its name, may reach what an earlier file of the run
  // writes: such a file is read at its turn, once every earlier output stands.
  bool MayBeAnEarlierOutput(std::string_view name, const std::string& file) const {
    const std::string_view written = direction_ == Direction::ToBmp ? ".bmp" : ".raw";
    return EqualsIgnoringCase(name.substr(name.size() - std::min(name.size(), written.size())),
                              written) ||
           IsLink(file);
  }

  void Work() {
    const std::function<void(std::size_t)> finish = [this](std::size_t index) {
      FinishFile(index);
    };
    std::size_t index;
    while (sequencer_.Take(index)) {
      std::unique_ptr<Conversion> item;
      try {
        item = Convert(index);
      } catch (const std::exception&) {
        // Memory ran out even for the file's record: the file shows nothing.
      }
      // Each completed file waiting for its turn holds its staged output
      // open: the sequencer keeps their number to what may be open at once.
      staged_[sequencer_.Slot(index)] = std::move(item);
      sequencer_.Complete(index, finish);
    }
  }

  // The file converted, its output staged; null for a file that prints nothing.
  std::unique_ptr<Conversion> Convert(std::size_t index) {
    const std::string_view name = names_[index];
    if (IsMaskName(name)) return nullptr;
    auto item = std::make_unique<Conversion>();
    item->inPath = std::string(request_.inputDir).append(name);
    item->outPath = std::string(request_.outputDir).append(name);
    item->inFile = NativePath(request_.inputDir).append(name);
    item->outFile = NativePath(request_.outputDir).append(name);
    if (MayBeAnEarlierOutput(name, item->inFile)) sequencer_.WaitForTurn(index);
    PrepareBesideOthers(*item);
    return item;
  }

  // Files converted side by side share the memory and the open files one
  // file alone could have had: a file that failed while something was
  // short (any failure, where the imaging layer cannot tell: GDI+) is tried
  // again with no other file in flight, for the outcome it has alone.
  void PrepareBesideOthers(Conversion& item) {
    const std::uint64_t shortages = ShortagesSoFar();
    {
      std::shared_lock shared(preparing_);
      item.prepared = Prepare(direction_, request_.sizeMask, item);
    }
    if (parallel_ && item.prepared != Prepared::Staged &&
        (ShortagesSoFar() != shortages || ImagesHeldWhole())) {
      std::unique_lock alone(preparing_);
      item.prepared = Prepare(direction_, request_.sizeMask, item);
    }
  }

  // At the file's turn, on whichever thread finishes files then.
  void FinishFile(std::size_t index) {
    const std::unique_ptr<Conversion> item = std::move(staged_[sequencer_.Slot(index)]);
    if (!item) return;
    try {
      Finish(*item, protect_, outputDirFailure_);
    } catch (const std::exception&) {
      // Memory ran out for the result line: the file shows nothing.
    }
  }

  // The files taken ahead of the one whose turn it is, the files open for
  // them bounded by what the process may still open (each file in flight
  // holds at most kHandlesPerFile: its input and companion mask, or its
  // staged outputs); one at a time where little is left.
  static std::size_t FilesInFlight(std::size_t spareHandles) {
    constexpr std::size_t kMaxFilesInFlight = 32;
    constexpr std::size_t kHandlesPerFile = 3;
    constexpr std::size_t kReservedHandles = 2;  // the run's own, such as its journal
    const std::size_t usable = spareHandles - std::min(spareHandles, kReservedHandles);
    return std::clamp<std::size_t>(usable / kHandlesPerFile, 1, kMaxFilesInFlight);
  }

  const RunRequest& request_;
  const Direction direction_;
  const NameList names_;
  ProtectedFiles protect_;  // used by the finishing thread only
  const std::string outputDirFailure_;
  bool parallel_ = false;
  std::shared_mutex preparing_;
  BatchSequencer sequencer_;
  // The files taken and not finished, by their slot in the sequencer.
  std::vector<std::unique_ptr<Conversion>> staged_;
};

// A format that is neither: a line for every file that would print one, and
// the reason once.
void RefuseEvery(const NameList& names, const std::string& format) {
  bool told = false;
  for (const std::string_view name : names) {
    if (IsMaskName(name)) continue;
    std::fputs("Wrong Parameters\n", stdout);
    if (!std::exchange(told, true)) {
      std::fflush(stdout);
      ReportFailure("-c:" + format, "the format is neither BMP nor RAW");
    }
  }
}

}  // namespace

void RunBatch(const RunRequest& request) {
  const std::string outputDirFailure = CreateOutputDirectory(request.outputDir);
  PutRightLeftovers(NativePath(request.outputDir));
  NameList names = FindMatchingNames(request.pattern);
  if (names.empty()) ReportFailure(request.pattern, "no file matches");
  if (DirectionOf(request.format) == Direction::Neither) {
    RefuseEvery(names, request.format);
    return;
  }
  Batch(request, std::move(names),
        outputDirFailure.empty()
            ? std::string()
            : "the output directory " + request.outputDir + " cannot be made: " + outputDirFailure)
      .Run();
}

}  // namespace tessarel
