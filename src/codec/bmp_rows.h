// The 24-bit row loops of the BMP codec with the processor's byte shuffles,
// where it has them. Each moves whole groups of pixels from the start of the
// row, exactly as the portable loops would, and returns how many it moved;
// the caller's own loop does the rest. 0 where there are no shuffles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessarel {

// Reads no byte past the argb.size() pixels' own.
std::size_t UnpackBmpRow24Shuffled(const std::uint8_t* in, std::span<std::uint32_t> argb);
// Writes no byte past the argb.size() pixels' own.
std::size_t PackBmpRow24Shuffled(std::span<const std::uint32_t> argb, std::uint8_t* out);

}  // namespace tessarel
