#include "platform/shortage.h"

#include <atomic>
#include <cerrno>

namespace tessarel {
namespace {

std::atomic<std::uint64_t> shortages{0};

}  // namespace

void NoteShortage() {
  shortages.fetch_add(1, std::memory_order_relaxed);
}

bool NoteIfShortage(int error) {
  const bool lacked = error == EMFILE || error == ENFILE || error == ENOMEM;
  if (lacked) NoteShortage();
  return lacked;
}

std::uint64_t ShortagesSoFar() {
  return shortages.load(std::memory_order_relaxed);
}

}  // namespace tessarel
