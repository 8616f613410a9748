#include "platform/failure_reason.h"

#include <utility>

namespace tessarel {
namespace {

thread_local FailureReason* current = nullptr;

}  // namespace

FailureReason::FailureReason() : previous_(current) {
  current = this;
}

FailureReason::~FailureReason() {
  current = previous_;
}

std::string FailureReason::Text() const {
  const std::lock_guard lock(mutex_);
  return text_;
}

void FailureReason::Give(std::string reason) {
  const std::lock_guard lock(mutex_);
  text_ = std::move(reason);
}

FailureReason* FailureReason::Current() {
  return current;
}

FailureReason::Lend::Lend(FailureReason* reason) : previous_(current) {
  current = reason;
}

FailureReason::Lend::~Lend() {
  current = previous_;
}

void Explain(std::string reason) {
  if (current != nullptr) current->Give(std::move(reason));
}

}  // namespace tessarel
