#include "platform/name_list.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tessarel {

std::string_view NameList::At(std::uint32_t position) const {
  constexpr std::uint32_t kOffsetMask = (std::uint32_t{1} << kBlockBits) - 1;
  return blocks_[position >> kBlockBits].get() + (position & kOffsetMask);  // ends in '\0'
}

void NameList::push_back(std::string_view name) {
  constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;
  constexpr std::size_t kMaxBlocks = std::size_t{1} << (32 - kBlockBits);
  if (name.size() >= kBlockSize || name.find('\0') != std::string_view::npos) {
    throw std::length_error("no file system has such a name");
  }
  if (blocks_.empty() || kBlockSize - used_ < name.size() + 1) {
    if (blocks_.size() == kMaxBlocks) throw std::length_error("too many names");
    auto block = std::make_unique_for_overwrite<char[]>(kBlockSize);
    blocks_.push_back(std::move(block));
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  std::memcpy(at, name.data(), name.size());
  at[name.size()] = '\0';
  positions_.push_back(static_cast<std::uint32_t>((blocks_.size() - 1) << kBlockBits | used_));
  used_ += name.size() + 1;
}

void NameList::Sort() {
  std::ranges::sort(positions_, {}, [this](std::uint32_t position) { return At(position); });
}

}  // namespace tessarel
