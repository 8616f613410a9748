// The codecs' hottest row loops with the processor's byte shuffles, where it
// has them. Each moves whole groups of pixels from the start of the row,
// exactly as the portable loop would, and returns how many it moved; the
// caller's own loop does the rest. 0 where there are no shuffles. None reads
// or writes a byte past the pixels' own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessarel {

// BMP's 24-bit B, G, R bytes to and from ARGB words.
std::size_t UnpackBmpRow24Shuffled(const std::uint8_t* in, std::span<std::uint32_t> argb);
std::size_t PackBmpRow24Shuffled(std::span<const std::uint32_t> argb, std::uint8_t* out);

// RAW's big-endian 5-6-5 words to and from 0xAARRGGBB words (alpha 0xFF
// unpacked, ignored packed).
std::size_t UnpackRawColourShuffled(const std::uint8_t* words, std::span<std::uint32_t> argb);
std::size_t PackRawColourShuffled(std::span<const std::uint32_t> argb, std::uint8_t* words);
// RAW's mask pixels (0 transparent) to whole bytes of the transparency
// plane, eight pixels a byte from its 0x80 bit; moves a multiple of 8.
std::size_t PackRawMaskShuffled(std::span<const std::uint32_t> mask, std::uint8_t* bytes);

}  // namespace tessarel
