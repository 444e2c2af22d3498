// The X11 platform's plain logic: titles, placement and scaling.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "x11_logic.h"

namespace {

std::string lowBytes(const std::string& utf8, std::size_t capacity = 512) {
  std::vector<char> out(capacity, '\x55');
  const std::size_t written = x11::lowBytesOfUtf8(
      reinterpret_cast<const unsigned char*>(utf8.data()), utf8.size(), out.data(), capacity);
  EXPECT_EQ(out[written], '\0');
  return std::string(out.data(), written);
}

struct TitleCase {
  const char* what;
  std::string utf8;
  std::string expected;
};

TEST(X11Logic, TitlesReadAsTheLowByteOfEachUtf16CodeUnit) {
  const TitleCase cases[] = {
      {"ASCII", "Corvane Demo", "Corvane Demo"},
      {"Latin-1 letters keep their code", "Zo\xC3\xAB \xC3\x89", "Zo\xEB \xC9"},
      {"U+0141 becomes its low byte 0x41", "\xC5\x81", "A"},
      {"the euro sign U+20AC", "\xE2\x82\xAC!", "\xAC!"},
      {"U+1F600: surrogates D83D DE00, the second ends the title", "a\xF0\x9F\x98\x80z", "a="},
      {"U+1F47D: surrogates D83D DC7D", "\xF0\x9F\x91\xBD", "=}"},
      {"a zero character ends the title", std::string("ab\0cd", 5), "ab"},
      {"U+0100 has a zero low byte and ends the title", "x\xC4\x80y", "x"},
      {"a lead byte cut off at the end", "ok\xC3", "ok\xFD"},
      {"overlong forms are malformed", "\xC0\x80", "\xFD\xFD"},
      {"surrogates encoded in UTF-8 are malformed", "\xED\xA0\x80", "\xFD\xFD\xFD"},
      {"a bad continuation keeps the byte after it", "\xE2\x82z", "\xFDz"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xFD\xFD\xFD\xFD"},
  };
  for (const TitleCase& c : cases) {
    EXPECT_EQ(lowBytes(c.utf8), c.expected) << c.what;
  }
}

TEST(X11Logic, TitlesKeepAtMostCapacityMinusOneBytes) {
  const std::string long600(600, 'x');
  EXPECT_EQ(lowBytes(long600), std::string(511, 'x'));
  // Two-byte characters: 511 of them fit, the rest is cut.
  std::string accents;
  for (int i = 0; i < 600; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(lowBytes(accents), std::string(511, '\xE9'));
  // A surrogate pair that does not fit whole keeps its first half.
  EXPECT_EQ(lowBytes("ab\xF0\x9F\x91\xBD", 4), "ab=");
  EXPECT_EQ(lowBytes("anything", 1), "");
}

TEST(X11Logic, Latin1TextIsWrittenAsUtf8) {
  char out[16];
  EXPECT_EQ(x11::latin1ToUtf8("Found Window!", out, sizeof out), 13u);
  EXPECT_STREQ(out, "Found Window!");
  EXPECT_EQ(x11::latin1ToUtf8("\xC9t\xE9", out, sizeof out), 5u);
  EXPECT_STREQ(out, "\xC3\x89t\xC3\xA9");
  // A character that does not fit whole is left out.
  char small[4];
  EXPECT_EQ(x11::latin1ToUtf8("ab\xE9", small, sizeof small), 2u);
  EXPECT_STREQ(small, "ab");
  // Each way round gives the original 8-bit text back.
  const std::string all = [] {
    std::string s;
    for (int c = 1; c < 256; ++c) s += static_cast<char>(c);
    return s;
  }();
  char utf8[1024];
  const std::size_t length = x11::latin1ToUtf8(all.c_str(), utf8, sizeof utf8);
  EXPECT_EQ(lowBytes(std::string(utf8, length)), all);
}

TEST(X11Logic, ThePictureIsScaledByTheLargestWholeNumberAndCentred) {
  struct Case {
    std::uint32_t modeWidth, modeHeight, screenWidth, screenHeight;
    x11::Placement expected;
  };
  const Case cases[] = {
      {640, 480, 1024, 768, {1, 192, 144}},
      {640, 480, 1280, 960, {2, 0, 0}},
      {640, 480, 1023, 767, {1, 191, 143}},
      {640, 480, 640, 480, {1, 0, 0}},
      {640, 480, 1920, 1080, {2, 320, 60}},
      {320, 200, 1920, 1080, {5, 160, 40}},  // 6 across, 5 down: the smaller
      {320, 200, 1279, 799, {3, 159, 99}},
      {1024, 768, 1024, 768, {1, 0, 0}},
      {800, 600, 640, 480, {0, 0, 0}},
      {641, 480, 640, 2000, {0, 0, 0}},
      {640, 481, 2000, 480, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    const x11::Placement p =
        x11::placePicture(c.modeWidth, c.modeHeight, c.screenWidth, c.screenHeight);
    EXPECT_EQ(p.scale, c.expected.scale)
        << c.modeWidth << "x" << c.modeHeight << " on " << c.screenWidth << "x" << c.screenHeight;
    EXPECT_EQ(p.left, c.expected.left) << c.screenWidth << "x" << c.screenHeight;
    EXPECT_EQ(p.top, c.expected.top) << c.screenWidth << "x" << c.screenHeight;
  }
}

// Scales a picture of distinct pixels into a target whose rows are padded,
// and checks every target pixel and that the padding is untouched.
template <typename Pixel>
void checkScaling(std::uint32_t width, std::uint32_t height, std::uint32_t scale,
                  std::uint32_t targetPadding) {
  const std::uint32_t sourcePitchPixels = width + 3;
  std::vector<Pixel> source(std::size_t{sourcePitchPixels} * height);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<Pixel>(i * 7919 + 1);
  const std::uint32_t targetWidth = width * scale;
  const std::uint32_t targetPitchPixels = targetWidth + targetPadding;
  const Pixel guard = static_cast<Pixel>(0xA5A5A5A5u);
  std::vector<Pixel> target(std::size_t{targetPitchPixels} * height * scale, guard);
  x11::scalePicture(reinterpret_cast<const std::uint8_t*>(source.data()),
                    sourcePitchPixels * sizeof(Pixel),
                    reinterpret_cast<std::uint8_t*>(target.data()),
                    targetPitchPixels * sizeof(Pixel), width, height, sizeof(Pixel), scale);
  for (std::uint32_t y = 0; y < height * scale; ++y) {
    for (std::uint32_t x = 0; x < targetPitchPixels; ++x) {
      const Pixel got = target[std::size_t{y} * targetPitchPixels + x];
      if (x < targetWidth) {
        ASSERT_EQ(got, source[std::size_t{y / scale} * sourcePitchPixels + x / scale])
            << "at " << x << "," << y << " scale " << scale;
      } else {
        ASSERT_EQ(got, guard) << "padding at " << x << "," << y;
      }
    }
  }
}

TEST(X11Logic, ScalingRepeatsEachPixelAndRowScaleTimes) {
  for (std::uint32_t scale : {1u, 2u, 3u, 5u}) {
    // Odd sizes and pitches: one pixel at a time.
    checkScaling<std::uint32_t>(7, 4, scale, 5);
    checkScaling<std::uint16_t>(5, 3, scale, 5);
    // Rows of whole 16-byte blocks in aligned, 16-byte pitched rows: at
    // scale 2, the vector rows.
    checkScaling<std::uint32_t>(12, 5, scale, 4);
    checkScaling<std::uint16_t>(24, 5, scale, 8);
  }
}

TEST(X11Logic, ScalingPacksThreeBytePixelsToo) {
  // A server may store depth 24 in three bytes a pixel.
  const std::uint32_t width = 5, height = 2, sourcePitch = 17, padding = 4;
  std::vector<std::uint8_t> source(std::size_t{sourcePitch} * height);
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 37 + 1);
  for (std::uint32_t scale : {1u, 2u, 3u}) {
    const std::uint32_t targetPitch = width * scale * 3 + padding;
    std::vector<std::uint8_t> target(std::size_t{targetPitch} * height * scale, 0xA5);
    x11::scalePicture(source.data(), sourcePitch, target.data(), targetPitch, width, height, 3,
                      scale);
    for (std::uint32_t y = 0; y < height * scale; ++y) {
      for (std::uint32_t x = 0; x < targetPitch; ++x) {
        const std::uint8_t got = target[std::size_t{y} * targetPitch + x];
        const std::uint8_t expected =
            x < width * scale * 3
                ? source[std::size_t{y / scale} * sourcePitch + (x / 3 / scale) * 3 + x % 3]
                : 0xA5;
        ASSERT_EQ(got, expected) << "at byte " << x << ", row " << y << ", scale " << scale;
      }
    }
  }
}

}  // namespace
