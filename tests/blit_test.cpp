// blitFrame and the row conversions against a plain per-pixel reference.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "Corvane.h"
#include "frame/rows.h"

namespace {

constexpr std::uint8_t sentinel = 0x5A;

// The bytes one pixel becomes at a depth, written the slow and obvious way.
std::vector<std::uint8_t> referencePixel(std::uint32_t argb, std::uint32_t depth) {
  const std::uint8_t b = argb & 0xFF, g = (argb >> 8) & 0xFF, r = (argb >> 16) & 0xFF,
                     a = argb >> 24;
  if (depth == 32) return {b, g, r, a};
  if (depth == 24) return {b, g, r};
  const unsigned value = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
  return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

std::size_t depthIndex(std::uint32_t depth) { return depth == 32 ? 0 : depth == 24 ? 1 : 2; }

// A locked "back buffer" of a given mode, its pitch wider than a row, every
// byte a sentinel until the blit writes it.
struct Target {
  Target(std::uint32_t width, std::uint32_t height, std::uint32_t depth, std::int32_t padding = 13)
      : pitch(static_cast<std::int32_t>(width * depth / 8) + padding),
        memory(std::size_t(pitch) * height + 64, sentinel) {
    displayState = DisplayState{};
    displayState.modeWidth = width;
    displayState.modeHeight = height;
    displayState.depthCursor = depthIndex(depth);
    displayState.lockedPixels = memory.data() + 32;
    displayState.lockedPitch = pitch;
  }
  std::int32_t pitch;
  std::vector<std::uint8_t> memory;
};

// What the target must hold after blitting the frame: the reference pixels
// at the centred place and sentinels everywhere else.
std::vector<std::uint8_t> expectedMemory(const Target& target,
                                         const std::vector<std::uint32_t>& frame,
                                         std::size_t offset, int width, int height, int scansize) {
  std::vector<std::uint8_t> expected(target.memory.size(), sentinel);
  const std::uint32_t depth = DisplayState::depthPreference[displayState.depthCursor];
  const std::size_t bpp = depth / 8;
  const std::size_t left = (displayState.modeWidth - std::uint32_t(width)) / 2;
  const std::size_t top = (displayState.modeHeight - std::uint32_t(height)) / 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto bytes = referencePixel(frame[offset + std::size_t(y) * scansize + x], depth);
      const std::size_t at = 32 + (top + y) * target.pitch + (left + x) * bpp;
      std::memcpy(&expected[at], bytes.data(), bytes.size());
    }
  }
  return expected;
}

std::vector<std::uint32_t> randomFrame(std::size_t count, std::mt19937& random) {
  std::vector<std::uint32_t> frame(count);
  for (auto& p : frame) p = random();
  return frame;
}

struct BlitCase {
  std::uint32_t depth;
  int width;
  int height;
  int scansizeExtra;
};

class BlitMatchesReference : public ::testing::TestWithParam<BlitCase> {};

TEST_P(BlitMatchesReference, WritesTheCentredConvertedFrameAndNothingElse) {
  const BlitCase c = GetParam();
  std::mt19937 random(c.depth * 7919 + c.width * 31 + c.height);
  const std::uint32_t modeWidth = c.width > 20 ? 800 : 20;
  const std::uint32_t modeHeight = c.height > 7 ? 600 : 7;
  Target target(modeWidth, modeHeight, c.depth);
  const int scansize = c.width + c.scansizeExtra;
  const std::size_t offset = 3;
  const auto frame = randomFrame(offset + std::size_t(scansize) * c.height + 8, random);

  blitFrame(frame.data() + offset, c.width, c.height, scansize);

  EXPECT_EQ(target.memory, expectedMemory(target, frame, offset, c.width, c.height, scansize));
  EXPECT_EQ(displayState.lockedPixels, target.memory.data() + 32) << "the lock pointer stays";
}

std::vector<BlitCase> blitCases() {
  std::vector<BlitCase> cases;
  for (std::uint32_t depth : {32u, 24u, 16u}) {
    for (int width = 0; width <= 9; ++width) {
      cases.push_back({depth, width, 5, 0});  // rows back to back
      cases.push_back({depth, width, 6, 3});  // rows with elements between them
    }
    cases.push_back({depth, 63, 17, 1});
    cases.push_back({depth, 64, 9, 0});
    cases.push_back({depth, 631, 479, 9});
    cases.push_back({depth, 800, 600, 0});  // the whole mode
    cases.push_back({depth, 799, 599, 5});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BlitMatchesReference, ::testing::ValuesIn(blitCases()),
                         [](const auto& testInfo) {
                           const BlitCase& c = testInfo.param;
                           return "depth" + std::to_string(c.depth) + "_" +
                                  std::to_string(c.width) + "x" + std::to_string(c.height) +
                                  "_extra" + std::to_string(c.scansizeExtra);
                         });

// Frames above the streaming threshold take the streaming rows: the same
// bytes, at every depth, on rows that start at every alignment (the pitch is
// odd) and with margins that must stay untouched.
TEST(Blit, FramesTooLargeForTheCacheComeOutTheSame) {
  const int width = 1000;
  for (std::uint32_t depth : {32u, 24u, 16u}) {
    const std::size_t rowBytes = std::size_t(width) * (4 + depth / 8);
    const int height = static_cast<int>(streamingThresholdBytes() / rowBytes) + 2;
    Target target(1024, static_cast<std::uint32_t>(height) + 3, depth);
    std::mt19937 random(depth);
    const auto frame = randomFrame(std::size_t(width) * height, random);
    blitFrame(frame.data(), width, height, width);
    EXPECT_EQ(target.memory, expectedMemory(target, frame, 0, width, height, width))
        << depth << " bpp, " << width << "x" << height;
  }
}

TEST(Blit, HeightZeroOrNegativeWritesNothing) {
  for (std::uint32_t depth : {32u, 24u, 16u}) {
    for (int height : {0, -1, -600}) {
      Target target(640, 480, depth);
      const std::vector<std::uint32_t> frame(640, 0xFFFFFFFF);
      blitFrame(frame.data(), 640, height, 640);
      EXPECT_EQ(target.memory, std::vector<std::uint8_t>(target.memory.size(), sentinel))
          << depth << " bpp, height " << height;
    }
  }
}

TEST(Blit, OddSpareColumnsAndRowsGoRightAndBottom) {
  Target target(640, 480, 32);
  const std::vector<std::uint32_t> frame(631 * 479, 0x11223344);
  blitFrame(frame.data(), 631, 479, 631);
  auto pixelAt = [&](int x, int y) {
    std::uint32_t value;
    std::memcpy(&value, &target.memory[32 + std::size_t(y) * target.pitch + std::size_t(x) * 4], 4);
    return value;
  };
  const std::uint32_t untouched = 0x5A5A5A5A;
  EXPECT_EQ(pixelAt(3, 0), untouched);  // 4 spare columns on the left
  EXPECT_EQ(pixelAt(4, 0), 0x11223344u);
  EXPECT_EQ(pixelAt(634, 478), 0x11223344u);
  EXPECT_EQ(pixelAt(635, 0), untouched);  // 5 on the right
  EXPECT_EQ(pixelAt(4, 479), untouched);  // the spare row at the bottom
}

TEST(Blit, UsesTheSelectedModeNotTheSurfaceSize) {
  Target target(320, 200, 16);
  displayState.surfaceDesc.dwWidth = 1024;  // the surface description is not consulted
  displayState.surfaceDesc.dwHeight = 768;
  const std::vector<std::uint32_t> frame(2, 0x00FFFFFF);
  blitFrame(frame.data(), 2, 1, 2);
  const std::size_t at = 32 + std::size_t(99) * target.pitch + 159 * 2;
  EXPECT_EQ(target.memory[at], 0xFF);
  EXPECT_EQ(target.memory[at + 3], 0xFF);
  EXPECT_EQ(target.memory[at - 1], sentinel);
  EXPECT_EQ(target.memory[at + 4], sentinel);
}

// The worked examples, through the row functions of each depth.
struct PixelCase {
  std::uint32_t argb;
  std::uint32_t depth;
  std::vector<std::uint8_t> bytes;
};

class RowExamples : public ::testing::TestWithParam<PixelCase> {};

TEST_P(RowExamples, ConvertAsTheTableSays) {
  const PixelCase c = GetParam();
  const std::size_t bpp = c.depth / 8;
  // Seven copies: one group of four and three single pixels.
  const std::vector<std::uint32_t> row(7, c.argb);
  std::vector<std::uint8_t> out(7 * bpp + 2, sentinel);
  rowConverterFor(c.depth)(row.data(), out.data() + 1, 7);
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 1 + i * bpp, out.begin() + 1 + (i + 1) * bpp),
              c.bytes)
        << "pixel " << i;
  }
  EXPECT_EQ(out.front(), sentinel);
  EXPECT_EQ(out.back(), sentinel);
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, RowExamples,
                         ::testing::Values(PixelCase{0xFF123456, 32, {0x56, 0x34, 0x12, 0xFF}},
                                           PixelCase{0x00123456, 32, {0x56, 0x34, 0x12, 0x00}},
                                           PixelCase{0xFF123456, 24, {0x56, 0x34, 0x12}},
                                           PixelCase{0x00123456, 24, {0x56, 0x34, 0x12}},
                                           PixelCase{0xFF123456, 16, {0xAA, 0x11}},
                                           PixelCase{0x00123456, 16, {0xAA, 0x11}},
                                           PixelCase{0x00FF0000, 16, {0x00, 0xF8}},
                                           PixelCase{0x0000FF00, 16, {0xE0, 0x07}},
                                           PixelCase{0x000000FF, 16, {0x1F, 0x00}},
                                           PixelCase{0xFFFFFFFF, 16, {0xFF, 0xFF}},
                                           PixelCase{0x00070307, 16, {0x00, 0x00}},
                                           PixelCase{0xFF070307, 24, {0x07, 0x03, 0x07}}));

}  // namespace
