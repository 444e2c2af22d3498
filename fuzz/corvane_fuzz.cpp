// libFuzzer target: the whole initScreen + pixelsToScreen path over the
// simulated display, driven by arbitrary bytes. Every call's outcome is
// checked against what the library documents: the Java exception it leaves
// pending (or none), the guard bytes around the buffers, and for every frame
// drawn, every pixel of the screen (the frame converted and centred, black
// everywhere else). Arrays have exactly the length the input gives, so a
// read outside one is caught by AddressSanitizer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Corvane.h"
#include "fake_jni.h"
#include "javah/Corvane.h"
#include "simulator.h"

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return used_ >= size_; }
  std::uint8_t byte() { return used_ < size_ ? data_[used_++] : 0; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
  std::int32_t i32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{byte()} << (8 * i);
    return static_cast<std::int32_t>(value);
  }
  // Mostly small values around the interesting range, sometimes any 32-bit value.
  std::int32_t dimension() {
    const std::uint8_t kind = byte();
    if (kind < 200) return static_cast<std::int32_t>(u16() % 1100) - 50;
    return i32();
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t used_ = 0;
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "corvane_fuzz: %s\n", what.c_str());
  std::abort();
}

void expectPending(FakeJni& jni, const char* expected, const char* call) {
  if (jni.pendingClass() != expected) {
    fail(std::string(call) + ": expected exception \"" + expected + "\", got \"" +
         jni.pendingClass() + "\" (" + jni.pendingMessage() + ")");
  }
  jni.clearPending();
}

std::uint32_t onScreen(std::uint32_t argb, std::uint32_t depth) {
  switch (depth) {
    case 32:
      return argb;
    case 24:
      return argb & 0xFFFFFF;
    default: {
      const std::uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
      return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    }
  }
}

// What pixelsToScreen must report for these arguments, given the mode.
const char* expectedException(bool setUp, bool nullArray, std::int32_t width, std::int32_t height,
                              std::int32_t offset, std::int32_t scansize, std::int64_t length) {
  if (!setUp) return "java/lang/IllegalStateException";
  if (nullArray) return "java/lang/NullPointerException";
  const sim::Screen s = sim::screen();
  if (width < 0 || width > std::int64_t{s.width} || height > std::int64_t{s.height}) {
    return "java/lang/IllegalArgumentException";
  }
  for (std::int64_t row = 0; row < height; ++row) {
    const std::int64_t start = offset + row * scansize;
    if (start < 0 || start + width > length) return "java/lang/ArrayIndexOutOfBoundsException";
    if (row > 2 && row < height - 2) row = height - 3;  // rows in between lie between these
  }
  return "";
}

// What each buffer of the flip chain must hold, as display values (what
// sim::pixel reads), or unknown (after a restore or a failed pin).
struct Model {
  std::vector<std::uint32_t> front, back;
  bool frontKnown = false, backKnown = false;
};

// Checks a buffer against the model: only the frame's pixels inside its
// centred rectangle, black everywhere else.
__attribute__((no_sanitize("coverage"))) void checkBuffer(const std::uint8_t* buffer,
                                                          const std::vector<std::uint32_t>& model,
                                                          const char* which) {
  const sim::Screen s = sim::screen();
  const std::uint32_t bytes = s.depth / 8;
  for (std::uint32_t y = 0; y < s.height; ++y) {
    const std::uint8_t* p = buffer + std::ptrdiff_t(y) * s.pitch;
    for (std::uint32_t x = 0; x < s.width; ++x, p += bytes) {
      std::uint32_t got = p[0] | p[1] << 8;
      if (bytes >= 3) got |= std::uint32_t{p[2]} << 16;
      if (bytes == 4) got |= std::uint32_t{p[3]} << 24;
      const std::uint32_t expected = model[std::size_t(y) * s.width + x];
      if (got != expected) {
        char text[160];
        std::snprintf(text, sizeof text, "%s buffer at %u,%u holds 0x%X, expected 0x%X", which,
                      static_cast<unsigned>(x), static_cast<unsigned>(y), got, expected);
        fail(text);
      }
    }
  }
}

void checkBuffers(const Model& model) {
  const sim::Screen s = sim::screen();
  if (model.frontKnown) checkBuffer(s.front, model.front, "front");
  if (model.backKnown) checkBuffer(s.back, model.back, "back");
}

// The screen after drawing this frame: converted and centred on black.
__attribute__((no_sanitize("coverage"))) std::vector<std::uint32_t> frameImage(
    const std::vector<jint>& pixels, std::int32_t width, std::int32_t height, std::int32_t offset,
    std::int32_t scansize) {
  const sim::Screen s = sim::screen();
  std::vector<std::uint32_t> image(std::size_t(s.width) * s.height, 0);
  const std::uint32_t left = (s.width - std::uint32_t(width)) / 2;
  const std::uint32_t top = (s.height - std::uint32_t(height)) / 2;
  for (std::int64_t row = 0; row < height; ++row) {
    for (std::int64_t x = 0; x < width; ++x) {
      const std::int64_t index = offset + row * scansize + x;
      image[(top + std::size_t(row)) * s.width + left + std::size_t(x)] =
          onScreen(static_cast<std::uint32_t>(pixels[std::size_t(index)]), s.depth);
    }
  }
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  sim::reset();
  sim::recordCalls(false);
  displayState = DisplayState{};
  FakeJni jni;

  // The display accepts some of the three depths (at least one: a display
  // that takes none ends the process with a report, by design).
  const std::uint8_t depthMask = in.byte();
  std::vector<DWORD> depths;
  if (depthMask & 1) depths.push_back(32);
  if (depthMask & 2) depths.push_back(24);
  if (depthMask & 4 || depths.empty()) depths.push_back(16);
  sim::acceptDepths(depths);
  sim::addWindow("Other");
  sim::addWindow("Game");

  bool setUp = false;
  bool lossPending = false;  // the chain was lost; the next lock restores it
  Model model;
  int calls = 0;
  while (!in.empty() && calls++ < 12) {
    const std::uint8_t action = in.byte();
    if (action % 4 == 0) {
      // initScreen: a null title, a title no window bears, or the window's.
      const std::int32_t width = in.dimension();
      const std::int32_t height = in.dimension();
      const std::uint8_t which = in.byte() % 3;
      const jstring title = which == 0 ? nullptr : jni.string(which == 1 ? "Nobody" : "Game");
      Java_Corvane_initScreen(jni.env(), nullptr, width, height, title);
      const char* expected = title == nullptr      ? "java/lang/NullPointerException"
                             : setUp || which == 1 ? "java/lang/IllegalStateException"
                                                   : "";
      expectPending(jni, expected, "initScreen");
      if (!setUp && *expected == '\0') {
        setUp = true;
        const sim::Screen s = sim::screen();
        model.front.assign(std::size_t(s.width) * s.height, 0);
        model.back = model.front;
        model.frontKnown = model.backKnown = true;
      }
      checkBuffers(model);
      continue;
    }
    // pixelsToScreen, with the display perhaps lost, a pin or a flip failing.
    const std::int32_t width = in.dimension();
    const std::int32_t height = in.dimension();
    const std::uint8_t layout = in.byte();
    std::int32_t offset = layout & 0x80 ? in.i32() : in.byte() % 8;
    std::int32_t scansize = layout & 0x40 ? in.i32() : width + (in.byte() % 4);
    const std::uint8_t faults = in.byte();
    const bool nullArray = (faults & 0x7) == 0x7;
    const bool pinFails = (faults & 0x7) == 0x6;
    std::size_t length = std::size_t(in.u16()) * 4 + in.byte();
    if (layout & 0x20 && width > 0 && height > 0 && scansize > 0 && offset >= 0) {
      // Exactly as long as the frame needs.
      length = std::size_t(offset) + std::size_t(height - 1) * std::size_t(scansize) +
               std::size_t(width);
      if (length > (std::size_t{1} << 20)) length = std::size_t{1} << 20;
    }
    const std::uint32_t seed = static_cast<std::uint32_t>(in.i32());
    std::vector<jint> pixels(length);
    for (std::size_t i = 0; i < length; ++i) {
      pixels[i] = static_cast<jint>(seed * 2654435761u + std::uint32_t(i) * 40503u);
    }
    const bool lost = setUp && (faults & 0x10) != 0;
    if (lost) sim::loseSurfaces(faults >> 6, DDERR_WRONGMODE);
    lossPending = lossPending || lost;
    const bool flipFails = setUp && (faults & 0x20) != 0;
    sim::failCall("Flip", flipFails ? DDERR_GENERIC : DD_OK);
    jni.failArrayElements = pinFails;

    const char* expected = expectedException(setUp, nullArray, width, height, offset, scansize,
                                             static_cast<std::int64_t>(length));
    if (pinFails && *expected == '\0') expected = "java/lang/OutOfMemoryError";
    Java_Corvane_pixelsToScreen(jni.env(), nullptr, 0, 0, width, height,
                                nullArray ? nullptr : jni.array(pixels), offset, scansize);
    if (std::getenv("CORVANE_FUZZ_TRACE") != nullptr) {
      std::fprintf(stderr,
                   "pixelsToScreen(%d, %d, length %zu, offset %d, scansize %d): lost %d, pin "
                   "fails %d, flip fails %d, expected \"%s\", got \"%s\"\n",
                   width, height, length, offset, scansize, lost, pinFails, flipFails, expected,
                   jni.pendingClass().c_str());
    }
    expectPending(jni, expected, "pixelsToScreen");
    jni.failArrayElements = false;
    if (jni.outstandingPins() != 0) fail("a pinned array was not released");
    if (displayState.lockedPixels != nullptr || sim::backBufferLocked()) fail("left locked");
    if (!sim::guardsIntact()) fail("wrote outside the buffers");

    const bool locked = *expected == '\0' || std::string(expected) == "java/lang/OutOfMemoryError";
    if (locked && lossPending) {
      // Restored memory holds garbage.
      model.frontKnown = model.backKnown = false;
      lossPending = false;
    }
    if (std::string(expected) == "java/lang/OutOfMemoryError") {
      // Locked, perhaps cleared around the frame, but not drawn nor shown.
      model.backKnown = false;
    } else if (*expected == '\0') {
      if (height > 0) {
        model.back = frameImage(pixels, width, height, offset, scansize);
        model.backKnown = true;
      }
      if (!flipFails) {
        std::swap(model.front, model.back);
        std::swap(model.frontKnown, model.backKnown);
      }
    }
    checkBuffers(model);
  }
  return 0;
}
