#include "rows.h"

#include <cstring>

namespace {

inline void store32(std::uint8_t* destination, std::uint32_t word) {
  // Little-endian targets only: the word's low byte lands first.
  std::memcpy(destination, &word, sizeof word);
}

inline void store16(std::uint8_t* destination, std::uint16_t value) {
  std::memcpy(destination, &value, sizeof value);
}

inline std::uint16_t to565(std::uint32_t pixel) {
  return static_cast<std::uint16_t>(((pixel >> 8) & 0xF800u) | ((pixel >> 5) & 0x07E0u) |
                                    ((pixel >> 3) & 0x001Fu));
}

}  // namespace

void rowTo32(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  if (width > 0) {
    std::memcpy(destination, source, static_cast<std::size_t>(width) * 4);
  }
}

void rowTo24(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  // Four pixels make three whole words: B0 G0 R0 B1 | G1 R1 B2 G2 | R2 B3 G3 R3.
  for (; x + 4 <= width; x += 4, destination += 12) {
    const std::uint32_t p0 = source[x];
    const std::uint32_t p1 = source[x + 1];
    const std::uint32_t p2 = source[x + 2];
    const std::uint32_t p3 = source[x + 3];
    store32(destination, (p0 & 0x00FFFFFFu) | (p1 << 24));
    store32(destination + 4, ((p1 >> 8) & 0x0000FFFFu) | (p2 << 16));
    store32(destination + 8, ((p2 >> 16) & 0x000000FFu) | (p3 << 8));
  }
  for (; x < width; ++x, destination += 3) {
    const std::uint32_t p = source[x];
    destination[0] = static_cast<std::uint8_t>(p);
    destination[1] = static_cast<std::uint8_t>(p >> 8);
    destination[2] = static_cast<std::uint8_t>(p >> 16);
  }
}

void rowTo16(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  // Four pixels make two whole words, two 5:6:5 values each.
  for (; x + 4 <= width; x += 4, destination += 8) {
    store32(destination, to565(source[x]) | (std::uint32_t{to565(source[x + 1])} << 16));
    store32(destination + 4,
            to565(source[x + 2]) | (std::uint32_t{to565(source[x + 3])} << 16));
  }
  for (; x < width; ++x, destination += 2) {
    store16(destination, to565(source[x]));
  }
}

RowConverter rowConverterFor(std::uint32_t depth) {
  switch (depth) {
    case 32:
      return rowTo32;
    case 24:
      return rowTo24;
    default:
      return rowTo16;
  }
}
