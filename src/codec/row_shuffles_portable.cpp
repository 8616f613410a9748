// Processors without a shuffle the compiler can be asked for by name: the
// portable loops move every pixel.
#include "codec/row_shuffles.h"

namespace tessarel {

std::size_t UnpackBmpRow24Shuffled(const std::uint8_t*, std::span<std::uint32_t>) {
  return 0;
}

std::size_t PackBmpRow24Shuffled(std::span<const std::uint32_t>, std::uint8_t*) {
  return 0;
}

std::size_t UnpackRawColourShuffled(const std::uint8_t*, std::span<std::uint32_t>) {
  return 0;
}

std::size_t PackRawColourShuffled(std::span<const std::uint32_t>, std::uint8_t*) {
  return 0;
}

std::size_t PackRawMaskShuffled(std::span<const std::uint32_t>, std::uint8_t*) {
  return 0;
}

}  // namespace tessarel
