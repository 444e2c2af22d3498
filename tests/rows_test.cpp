// The vector row variants and the streaming rows against the scalar rows,
// byte for byte: random rows of every width up to 64 and a few long ones,
// sources starting 0 to 3 pixels past a 64-byte boundary, destinations 0 to
// 31 bytes past one (0 to 63 for the streaming rows, whose lines start at
// the next boundary), and every byte around the destination row left as it
// was.
#include "frame/rows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A source row that ends exactly where its allocation ends, so that a read
// past the row is caught by AddressSanitizer, and whose first pixel sits
// `offset` pixels past a 64-byte boundary.
class SourceRow {
 public:
  SourceRow(std::int32_t width, std::int32_t offset, std::mt19937& random)
      : count_(static_cast<std::size_t>(width + offset)),
        memory_(static_cast<std::uint32_t*>(
            ::operator new (count_ * sizeof(std::uint32_t), std::align_val_t{64}))),
        offset_(offset) {
    for (std::size_t i = 0; i < count_; ++i) {
      memory_[i] = static_cast<std::uint32_t>(random());
    }
  }
  ~SourceRow() { ::operator delete (memory_, std::align_val_t{64}); }
  SourceRow(const SourceRow&) = delete;
  SourceRow& operator=(const SourceRow&) = delete;

  const std::uint32_t* pixels() const { return memory_ + offset_; }

 private:
  std::size_t count_;
  std::uint32_t* memory_;
  std::int32_t offset_;
};

// Guard bytes on both sides of the destination row: a position-dependent
// pattern, so that a stray store of shifted data is as visible as one of
// zeros.
constexpr std::size_t guardBytes = 64;

std::uint8_t guardByte(std::size_t index) { return static_cast<std::uint8_t>(index * 151 + 89); }

// Where the row's bytes differ from what was expected, or an empty string.
std::string firstDifference(const std::uint8_t* actual, const std::vector<std::uint8_t>& expected,
                            std::size_t rowStart, std::size_t rowBytes) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (actual[i] != expected[i]) {
      std::ostringstream message;
      const auto at = static_cast<std::ptrdiff_t>(i) - static_cast<std::ptrdiff_t>(rowStart);
      message << "byte " << at << " of a " << rowBytes << "-byte row"
              << (i < rowStart               ? " (guard before)"
                  : i >= rowStart + rowBytes ? " (guard after)"
                                             : "")
              << ": got " << int{actual[i]} << ", want " << int{expected[i]};
      return message.str();
    }
  }
  return {};
}

struct VariantCase {
  RowVariant variant;
  std::uint32_t depth;
  bool streaming;
};

const char* kindOf(const VariantCase& c) { return c.streaming ? "streaming" : "row"; }

void PrintTo(const VariantCase& c, std::ostream* out) {
  *out << rowVariantName(c.variant) << ", " << c.depth << " bpp, " << kindOf(c);
}

class VariantMatchesScalar : public ::testing::TestWithParam<VariantCase> {};

TEST_P(VariantMatchesScalar, OnEveryWidthAndAlignment) {
  const VariantCase c = GetParam();
  if (!rowVariantSupported(c.variant)) {
    GTEST_SKIP() << rowVariantName(c.variant) << " is not supported by this processor or build";
  }
  const RowConverter vector =
      c.streaming ? streamingRowConverter(c.depth, c.variant) : rowConverter(c.depth, c.variant);
  const RowConverter scalar = rowConverter(c.depth, RowVariant::Scalar);
  ASSERT_NE(vector, nullptr);
  ASSERT_NE(scalar, nullptr);
  const std::size_t destinationOffsets = c.streaming ? 64 : 32;

  std::vector<std::int32_t> widths;
  for (std::int32_t width = 0; width <= 64; ++width) widths.push_back(width);
  for (std::int32_t width : {95, 631, 800, 1023, 1024}) widths.push_back(width);

  const std::size_t bytesPerPixel = c.depth / 8;
  std::mt19937 random(c.depth * 131 + static_cast<unsigned>(c.variant));
  for (const std::int32_t width : widths) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;
    for (std::int32_t sourceOffset = 0; sourceOffset <= 3; ++sourceOffset) {
      const SourceRow source(width, sourceOffset, random);
      // The reference, into a vector of exactly the row's size.
      std::vector<std::uint8_t> reference(rowBytes);
      scalar(source.pixels(), reference.data(), width);

      for (std::size_t destinationOffset = 0; destinationOffset < destinationOffsets;
           ++destinationOffset) {
        // The row starts destinationOffset bytes past a 64-byte boundary.
        const std::size_t rowStart = guardBytes + destinationOffset;
        std::vector<std::uint8_t> expected(rowStart + rowBytes + guardBytes);
        for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = guardByte(i);
        if (rowBytes > 0) std::memcpy(expected.data() + rowStart, reference.data(), rowBytes);

        std::vector<std::uint8_t> memory(expected.size() + 64);
        const auto address = reinterpret_cast<std::uintptr_t>(memory.data());
        std::uint8_t* const base = memory.data() + ((64 - address % 64) % 64);
        for (std::size_t i = 0; i < expected.size(); ++i) base[i] = guardByte(i);

        vector(source.pixels(), base + rowStart, width);

        const std::string difference = firstDifference(base, expected, rowStart, rowBytes);
        ASSERT_EQ(difference, "") << rowVariantName(c.variant) << " " << kindOf(c) << ", "
                                  << c.depth << " bpp, width " << width << ", source offset "
                                  << sourceOffset << " pixels, destination offset "
                                  << destinationOffset << " bytes";
      }
    }
  }
}

constexpr RowVariant vectorVariants[] = {RowVariant::Sse2, RowVariant::Ssse3, RowVariant::Avx2,
                                         RowVariant::Avx512Bw, RowVariant::Avx512Vbmi};
constexpr RowVariant allVariants[] = {RowVariant::Scalar,   RowVariant::Sse2,
                                      RowVariant::Ssse3,    RowVariant::Avx2,
                                      RowVariant::Avx512Bw, RowVariant::Avx512Vbmi};

// SSE2 and SSSE3 stream only the 32 bpp copy; AVX2 and later every depth.
bool streamsEveryDepth(RowVariant variant) {
  return variant != RowVariant::Sse2 && variant != RowVariant::Ssse3;
}

std::vector<VariantCase> variantCases() {
  std::vector<VariantCase> cases;
  for (bool streaming : {false, true}) {
    for (RowVariant variant : vectorVariants) {
      for (std::uint32_t depth : {32u, 24u, 16u}) {
        if (streaming && depth != 32 && !streamsEveryDepth(variant)) continue;
        cases.push_back({variant, depth, streaming});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Variants, VariantMatchesScalar, ::testing::ValuesIn(variantCases()),
                         [](const auto& testInfo) {
                           const VariantCase& c = testInfo.param;
                           return std::string(c.streaming ? "Streaming" : "") +
                                  rowVariantName(c.variant) + "_depth" + std::to_string(c.depth);
                         });

TEST(RowVariants, ConvertersExistExactlyForSupportedVariants) {
  EXPECT_TRUE(rowVariantSupported(RowVariant::Scalar));
#if defined(__x86_64__)
  EXPECT_TRUE(rowVariantSupported(RowVariant::Sse2)) << "every x86-64 processor has SSE2";
#endif
  for (RowVariant variant : allVariants) {
    for (std::uint32_t depth : {32u, 24u, 16u}) {
      EXPECT_EQ(rowConverter(depth, variant) != nullptr, rowVariantSupported(variant))
          << rowVariantName(variant) << ", " << depth << " bpp";
      const bool streams = variant != RowVariant::Scalar && rowVariantSupported(variant) &&
                           (depth == 32 || streamsEveryDepth(variant));
      EXPECT_EQ(streamingRowConverter(depth, variant) != nullptr, streams)
          << rowVariantName(variant) << ", " << depth << " bpp";
    }
  }
}

TEST(RowVariants, VectorVariantsAreTheirOwnCodeAndDepth32IsACopy) {
  EXPECT_EQ(rowConverter(24, RowVariant::Scalar), &rowTo24);
  EXPECT_EQ(rowConverter(16, RowVariant::Scalar), &rowTo16);
  for (RowVariant variant : vectorVariants) {
    if (!rowVariantSupported(variant)) continue;
    EXPECT_EQ(rowConverter(32, variant), &rowTo32) << rowVariantName(variant);
    EXPECT_NE(rowConverter(24, variant), &rowTo24) << rowVariantName(variant);
    EXPECT_NE(rowConverter(16, variant), &rowTo16) << rowVariantName(variant);
  }
  for (RowVariant one : vectorVariants) {
    for (RowVariant other : vectorVariants) {
      if (one == other || !rowVariantSupported(one) || !rowVariantSupported(other)) continue;
      for (std::uint32_t depth : {24u, 16u}) {
        // VBMI only packs the 24 bpp rows; at 16 bpp both AVX-512 variants
        // share one row.
        const bool shared = depth == 16 &&
                            (one == RowVariant::Avx512Bw || one == RowVariant::Avx512Vbmi) &&
                            (other == RowVariant::Avx512Bw || other == RowVariant::Avx512Vbmi);
        EXPECT_EQ(rowConverter(depth, one) == rowConverter(depth, other), shared)
            << rowVariantName(one) << " and " << rowVariantName(other) << ", " << depth << " bpp";
      }
    }
  }
}

TEST(RowVariants, BlitUsesTheBestSupportedVariant) {
  RowVariant best = RowVariant::Scalar;
  for (RowVariant variant : vectorVariants) {
    if (rowVariantSupported(variant)) best = variant;
  }
  for (std::uint32_t depth : {32u, 24u, 16u}) {
    EXPECT_EQ(rowConverterFor(depth), rowConverter(depth, best))
        << depth << " bpp, best variant " << rowVariantName(best);
    EXPECT_EQ(streamingRowConverterFor(depth), streamingRowConverter(depth, best))
        << depth << " bpp, best variant " << rowVariantName(best);
  }
}

// The processor the project is built and measured on has AVX-512 with VBMI;
// on any processor that reports it, those rows must be offered and chosen,
// with a streaming row at every depth.
TEST(RowVariants, Avx512IsChosenWhereTheProcessorHasIt) {
  if (!rowVariantSupported(RowVariant::Avx512Vbmi)) {
    GTEST_SKIP() << "no AVX-512 VBMI here";
  }
  EXPECT_TRUE(rowVariantSupported(RowVariant::Avx512Bw));
  for (std::uint32_t depth : {24u, 16u}) {
    EXPECT_EQ(rowConverterFor(depth), rowConverter(depth, RowVariant::Avx512Vbmi)) << depth;
  }
  for (std::uint32_t depth : {32u, 24u, 16u}) {
    EXPECT_NE(streamingRowConverterFor(depth), nullptr) << depth << " bpp";
  }
}

}  // namespace
