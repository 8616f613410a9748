// The names a directory listing returns, held in few allocations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

namespace tessarel {

// Names back to back in large blocks, each found by a 32-bit position: a
// listing of millions of names costs their characters and five bytes more a
// name, never an allocation each.
class NameList {
 public:
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::string_view;
    using difference_type = std::ptrdiff_t;
    Iterator() = default;
    Iterator(const NameList* list, std::size_t index) : list_(list), index_(index) {}
    std::string_view operator*() const { return (*list_)[index_]; }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    Iterator operator++(int) { return {list_, index_++}; }
    bool operator==(const Iterator& other) const { return index_ == other.index_; }

   private:
    const NameList* list_ = nullptr;
    std::size_t index_ = 0;
  };

  std::size_t size() const { return positions_.size(); }
  bool empty() const { return positions_.empty(); }
  std::string_view operator[](std::size_t index) const { return At(positions_[index]); }
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, size()}; }

  // Throws std::bad_alloc when memory runs out, and std::length_error for
  // a name no file system allows or past 4 GiB of names.
  void push_back(std::string_view name);
  // Into byte order.
  void Sort();

 private:
  std::string_view At(std::uint32_t position) const;

  static constexpr unsigned kBlockBits = 16;  // far longer than any name
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = 0;                  // of the last block
  std::vector<std::uint32_t> positions_;  // block << kBlockBits | offset
};

}  // namespace tessarel
