// Why a file failed, in words for standard error. The batch gives each file a
// FailureReason while it converts it, and whichever layer refuses the file
// says why, where the failure starts; the layers above only pass the failure
// on. The last reason given stands, so a failure that is passed over (a
// companion mask that does not decode reads as transparent) gives way to any
// later one.
#pragma once

#include <mutex>
#include <string>

namespace tessarel {

class FailureReason {
 public:
  // Collects the reasons given on this thread while it lives.
  FailureReason();
  ~FailureReason();
  FailureReason(const FailureReason&) = delete;
  FailureReason& operator=(const FailureReason&) = delete;

  std::string Text() const;
  void Give(std::string reason);

  // The one collecting on this thread; null where none does.
  static FailureReason* Current();

  // Lends reason to the thread that makes this object, for work done there
  // on its behalf.
  class Lend {
   public:
    explicit Lend(FailureReason* reason);
    ~Lend();
    Lend(const Lend&) = delete;
    Lend& operator=(const Lend&) = delete;

   private:
    FailureReason* previous_;
  };

 private:
  mutable std::mutex mutex_;
  std::string text_;
  FailureReason* previous_;
};

// Gives reason to the thread's current FailureReason, if it has one.
void Explain(std::string reason);

// The system's words for why the last system call on this thread failed.
std::string LastSystemError();

}  // namespace tessarel
