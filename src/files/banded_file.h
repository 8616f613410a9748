// Rows of one size stored one after another in a file, read a band of rows
// at a time as they are asked for: how pictures too big to hold whole are
// read, RAW planes and plain BMP files alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "files/read_only_file.h"

namespace tessarel {

// How long a row is: whole bytes, or, in a plane of one bit a pixel, bits,
// where a row need not start on a byte.
struct RowLength {
  std::uint64_t bits = 0;
  static constexpr RowLength Bytes(std::uint64_t n) { return {8 * n}; }
  static constexpr RowLength Bits(std::uint64_t n) { return {n}; }
};

class BandedFile {
 public:
  // Rows 0 .. rows - 1 of one length from offset on; one read takes about
  // bandBytes. Only pictures that exist ask for rows, so rows * length stays
  // far below 2^64 bits.
  BandedFile(std::shared_ptr<ReadOnlyFile> file, std::uint64_t offset, RowLength length,
             std::uint32_t rows, std::size_t bandBytes);

  // The bytes from the one holding row r's first bit on, and that bit counted
  // from the first byte's 0x80 bit (0 for rows of whole bytes). False when the
  // file cannot give them (it may have shrunk since it was opened) or the
  // band cannot be allocated.
  bool Row(std::uint32_t r, std::span<const std::uint8_t>& bytes, std::size_t& bit);
  bool Row(std::uint32_t r, std::span<const std::uint8_t>& bytes) {
    std::size_t bit = 0;
    return Row(r, bytes, bit);
  }

 private:
  std::shared_ptr<ReadOnlyFile> file_;
  std::uint64_t offset_;
  std::uint64_t rowBits_;
  std::uint32_t rows_;
  std::uint32_t bandRows_;
  std::vector<std::uint8_t> band_;
  std::int64_t bandIndex_ = -1;
  std::uint64_t bandStart_ = 0;  // the band's first byte, from offset
};

}  // namespace tessarel
