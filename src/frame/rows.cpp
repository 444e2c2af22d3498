#include "rows.h"

#include <cstring>
#include <initializer_list>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <cpuid.h>
#endif

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
    store32(destination + 4, to565(source[x + 2]) | (std::uint32_t{to565(source[x + 3])} << 16));
  }
  for (; x < width; ++x, destination += 2) {
    store16(destination, to565(source[x]));
  }
}

namespace {

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)

struct CpuFeatures {
  bool sse2 = false;
  bool ssse3 = false;
  bool avx2 = false;
};

CpuFeatures detectFeatures() {
  CpuFeatures features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
    return features;
  }
  features.sse2 = (edx & bit_SSE2) != 0;
  features.ssse3 = features.sse2 && (ecx & bit_SSSE3) != 0;
  // AVX registers are usable only when the operating system saves them:
  // OSXSAVE set, and XCR0 enabling both the XMM (bit 1) and YMM (bit 2) state.
  const bool osSavesAvx = (ecx & bit_OSXSAVE) != 0 && (ecx & bit_AVX) != 0 && [] {
    unsigned low = 0, high = 0;
    __asm__ __volatile__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 0x6u) == 0x6u;
  }();
  if (features.ssse3 && osSavesAvx && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
    features.avx2 = (ebx & bit_AVX2) != 0;
  }
  return features;
}

bool processorRuns(RowVariant variant) {
  // Read once, on first use; nothing runs at load.
  static const CpuFeatures features = detectFeatures();
  switch (variant) {
    case RowVariant::Scalar:
      return true;
    case RowVariant::Sse2:
      return features.sse2;
    case RowVariant::Ssse3:
      return features.ssse3;
    case RowVariant::Avx2:
      return features.avx2;
  }
  return false;
}

#else

bool processorRuns(RowVariant variant) { return variant == RowVariant::Scalar; }

#endif

RowVariant bestVariant() {
  for (RowVariant variant : {RowVariant::Avx2, RowVariant::Ssse3, RowVariant::Sse2}) {
    if (rowVariantSupported(variant)) {
      return variant;
    }
  }
  return RowVariant::Scalar;
}

}  // namespace

bool rowVariantSupported(RowVariant variant) {
  if (variant == RowVariant::Scalar) {
    return true;
  }
  return processorRuns(variant) && vectorRowConverter(24, variant) != nullptr &&
         vectorRowConverter(16, variant) != nullptr;
}

RowConverter rowConverter(std::uint32_t depth, RowVariant variant) {
  if (!rowVariantSupported(variant)) {
    return nullptr;
  }
  if (depth == 32) {
    return rowTo32;
  }
  const std::uint32_t converted = depth == 24 ? 24 : 16;
  if (variant == RowVariant::Scalar) {
    return converted == 24 ? rowTo24 : rowTo16;
  }
  return vectorRowConverter(converted, variant);
}

RowConverter rowConverterFor(std::uint32_t depth) {
  // Chosen on the first frame; every later frame only reads the choice.
  static const RowVariant best = bestVariant();
  static const RowConverter to24 = rowConverter(24, best);
  static const RowConverter to16 = rowConverter(16, best);
  return depth == 32 ? rowTo32 : depth == 24 ? to24 : to16;
}

const char* rowVariantName(RowVariant variant) {
  switch (variant) {
    case RowVariant::Scalar:
      return "Scalar";
    case RowVariant::Sse2:
      return "Sse2";
    case RowVariant::Ssse3:
      return "Ssse3";
    case RowVariant::Avx2:
      return "Avx2";
  }
  return "?";
}
