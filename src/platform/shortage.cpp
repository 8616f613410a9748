#include "platform/shortage.h"

#include <atomic>

namespace tessarel {
namespace {

std::atomic<std::uint64_t> shortages{0};

}  // namespace

void NoteShortage() {
  shortages.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t ShortagesSoFar() {
  return shortages.load(std::memory_order_relaxed);
}

}  // namespace tessarel
