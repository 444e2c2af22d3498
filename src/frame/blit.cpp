#include <cstring>

#include "Corvane.h"
#include "rows.h"

void blitFrame(const std::uint32_t* source, std::int32_t width, std::int32_t height,
               std::int32_t scansize) {
  const DisplayState& state = displayState;
  const std::uint32_t depth = DisplayState::depthPreference[state.depthCursor];
  if (height <= 0) {
    return;
  }
  const std::uint32_t bytesPerPixel = depth / 8;
  // Centred in the selected mode; odd spare pixels go right and bottom.
  const std::uint32_t left = (state.modeWidth - static_cast<std::uint32_t>(width)) >> 1;
  const std::uint32_t top = (state.modeHeight - static_cast<std::uint32_t>(height)) >> 1;
  const std::ptrdiff_t pitch = state.lockedPitch;
  std::uint8_t* const firstRow = state.lockedPixels + static_cast<std::ptrdiff_t>(top) * pitch +
                                 static_cast<std::ptrdiff_t>(left * bytesPerPixel);
  // A frame too large for the core's own cache is streamed past it; the
  // fence orders those stores before the back buffer is unlocked.
  const std::size_t frameBytes =
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * (4 + bytesPerPixel);
  const RowConverter stream =
      frameBytes > streamingThresholdBytes() ? streamingRowConverterFor(depth) : nullptr;
  if (stream != nullptr) {
    for (std::int32_t row = 0; row < height; ++row) {
      stream(source + static_cast<std::ptrdiff_t>(row) * scansize, firstRow + row * pitch, width);
    }
    endStreamedRows();
    return;
  }
  if (depth == 32) {
    // The display holds the frame's own values: one block copy per row.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (std::int32_t row = 0; row < height; ++row) {
      std::memcpy(firstRow + row * pitch, source + static_cast<std::ptrdiff_t>(row) * scansize,
                  rowBytes);
    }
    return;
  }
  const RowConverter convert = rowConverterFor(depth);
  for (std::int32_t row = 0; row < height; ++row) {
    convert(source + static_cast<std::ptrdiff_t>(row) * scansize, firstRow + row * pitch, width);
  }
}
