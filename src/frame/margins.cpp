#include <algorithm>
#include <cstring>

#include "Corvane.h"

namespace {

// Zeroes the columns [left, right) of the rows [top, bottom) of the locked
// back buffer.
void clearRect(std::uint32_t left, std::uint32_t top, std::uint32_t right, std::uint32_t bottom) {
  const DisplayState& state = displayState;
  if (left >= right || top >= bottom) {
    return;
  }
  const std::size_t bytesPerPixel = DisplayState::depthPreference[state.depthCursor] / 8;
  const std::size_t bytes = std::size_t{right - left} * bytesPerPixel;
  std::uint8_t* row = state.lockedPixels + static_cast<std::ptrdiff_t>(top) * state.lockedPitch +
                      static_cast<std::ptrdiff_t>(left * bytesPerPixel);
  for (std::uint32_t y = top; y < bottom; ++y, row += state.lockedPitch) {
    std::memset(row, 0, bytes);
  }
}

}  // namespace

void clearAroundFrame(std::int32_t width, std::int32_t height) {
  DisplayState& state = displayState;
  // The frame's rectangle, centred as blitFrame places it.
  DrawnArea frame{};
  frame.known = true;
  frame.width = static_cast<std::uint32_t>(std::max(width, 0));
  frame.height = static_cast<std::uint32_t>(std::max(height, 0));
  frame.left = (state.modeWidth - frame.width) >> 1;
  frame.top = (state.modeHeight - frame.height) >> 1;

  DrawnArea& last = state.drawnArea[state.backBufferIndex];
  if (!last.known) {
    clearLockedBuffer();
  } else {
    // Black already lies outside the last frame: clear what of the last
    // frame the new one does not cover. Its rows above and below the new
    // frame go whole; the rows both share lose the columns left and right.
    const std::uint32_t right = last.left + last.width;
    const std::uint32_t bottom = last.top + last.height;
    const std::uint32_t frameRight = frame.left + frame.width;
    const std::uint32_t frameBottom = frame.top + frame.height;
    const std::uint32_t sharedTop = std::max(last.top, frame.top);
    const std::uint32_t sharedBottom = std::min(bottom, frameBottom);
    if (sharedTop >= sharedBottom) {
      clearRect(last.left, last.top, right, bottom);
    } else {
      clearRect(last.left, last.top, right, sharedTop);
      clearRect(last.left, sharedBottom, right, bottom);
      clearRect(last.left, sharedTop, std::min(right, frame.left), sharedBottom);
      clearRect(std::max(last.left, frameRight), sharedTop, right, sharedBottom);
    }
  }
  last = frame;
}
