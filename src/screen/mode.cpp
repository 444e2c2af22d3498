#include "Corvane.h"

namespace {
struct Mode {
  std::int32_t width;
  std::int32_t height;
};

// Ordered by width, then height: the first mode that fits has the least area.
constexpr Mode modeLadder[] = {{320, 200}, {320, 240}, {320, 400}, {512, 384},
                               {640, 400}, {640, 480}, {800, 600}};
}  // namespace

void chooseDisplayMode(std::int32_t requestedWidth, std::int32_t requestedHeight) {
  for (const Mode& mode : modeLadder) {
    if (mode.width >= requestedWidth && mode.height >= requestedHeight) {
      displayState.modeWidth = static_cast<std::uint32_t>(mode.width);
      displayState.modeHeight = static_cast<std::uint32_t>(mode.height);
      return;
    }
  }
}
