// The X11 platform's plain logic: window titles as 8-bit text, where the
// picture goes on the screen, and the nearest-neighbour widening of rows.
// No X calls here, so all of it is testable alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace x11 {

// Writes a window title given as UTF-8 as 8-bit text, the way the library
// reads Java titles: the low byte of each UTF-16 code unit, so a character
// beyond U+FFFF gives the low bytes of its surrogate pair. A malformed
// sequence reads as U+FFFD. Stops at a zero character or after capacity - 1
// bytes, always ends `out` with a zero byte, and returns the bytes written
// before it. `capacity` must be at least 1.
std::size_t lowBytesOfUtf8(const unsigned char* text, std::size_t length, char* out,
                           std::size_t capacity);

// Writes 8-bit (ISO 8859-1) text as UTF-8, stopping at its zero byte or when
// `out` is full, ends `out` with a zero byte and returns the bytes before it.
std::size_t latin1ToUtf8(const char* text, char* out, std::size_t capacity);

// Where a picture of the mode's size is shown on a screen: scaled by the
// largest whole `scale` with scale * mode <= screen in both directions,
// centred (the margins rounded down on the left and at the top). `scale`
// is 0 when the mode is larger than the screen.
struct Placement {
  std::uint32_t scale;
  std::uint32_t left;
  std::uint32_t top;
};
Placement placePicture(std::uint32_t modeWidth, std::uint32_t modeHeight, std::uint32_t screenWidth,
                       std::uint32_t screenHeight);

// Nearest-neighbour widening of one row: each of the `width` source pixels
// is written `scale` times in a row.
void widenRow32(const std::uint32_t* source, std::uint32_t* target, std::uint32_t width,
                std::uint32_t scale);
void widenRow16(const std::uint16_t* source, std::uint16_t* target, std::uint32_t width,
                std::uint32_t scale);

// Scales a picture of `width` x `height` pixels of `bytesPerPixel` (2 or 4)
// by `scale` into `target`: every row widened once, then copied to the
// scale - 1 rows below it.
void scalePicture(const std::uint8_t* source, std::ptrdiff_t sourcePitch, std::uint8_t* target,
                  std::ptrdiff_t targetPitch, std::uint32_t width, std::uint32_t height,
                  std::uint32_t bytesPerPixel, std::uint32_t scale);

}  // namespace x11
