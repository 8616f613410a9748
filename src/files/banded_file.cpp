#include "files/banded_file.h"

#include <algorithm>
#include <new>
#include <utility>

#include "platform/failure_reason.h"
#include "platform/shortage.h"

namespace tessarel {

BandedFile::BandedFile(std::shared_ptr<ReadOnlyFile> file, std::uint64_t offset, RowLength length,
                       std::uint32_t rows, std::size_t bandBytes)
    : file_(std::move(file)),
      offset_(offset),
      rowBits_(std::max<std::uint64_t>(length.bits, 1)),
      rows_(rows),
      bandRows_(std::uint32_t(std::clamp<std::uint64_t>(std::uint64_t{bandBytes} * 8 / rowBits_, 1,
                                                        std::max<std::uint32_t>(rows, 1)))) {}

bool BandedFile::Row(std::uint32_t r, std::span<const std::uint8_t>& bytes, std::size_t& bit) {
  if (r >= rows_) return false;
  const std::uint32_t index = r / bandRows_;
  if (std::int64_t{index} != bandIndex_) {
    bandIndex_ = -1;
    const std::uint64_t first = std::uint64_t{index} * bandRows_;
    const std::uint64_t end = std::min<std::uint64_t>(first + bandRows_, rows_);
    bandStart_ = first * rowBits_ / 8;
    const std::uint64_t size = (end * rowBits_ + 7) / 8 - bandStart_;
    // One row of a very wide picture can be more than memory can address.
    bool allocated = size <= band_.max_size();
    try {
      if (allocated) band_.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
      allocated = false;
    }
    if (!allocated) {
      NoteShortage();
      Explain("not enough memory");
      return false;
    }
    if (!file_->ReadAt(offset_ + bandStart_, band_)) {
      Explain("the input ended or could not be read while it was converted");
      return false;
    }
    bandIndex_ = index;
  }
  const std::uint64_t rowBit = std::uint64_t{r} * rowBits_ - bandStart_ * 8;
  bytes = std::span<const std::uint8_t>(band_).subspan(std::size_t(rowBit / 8));
  bit = std::size_t(rowBit % 8);
  return true;
}

}  // namespace tessarel
