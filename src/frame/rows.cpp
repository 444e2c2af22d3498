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
  bool avx512bw = false;
  bool avx512vbmi = false;
};

// XCR0: the register states the operating system saves and restores.
unsigned savedStates() {
  unsigned low = 0, high = 0;
  __asm__ __volatile__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return low;
}

CpuFeatures detectFeatures() {
  CpuFeatures features;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
    return features;
  }
  features.sse2 = (edx & bit_SSE2) != 0;
  features.ssse3 = features.sse2 && (ecx & bit_SSSE3) != 0;
  // Wider registers are usable only when the operating system saves them:
  // OSXSAVE set, and XCR0 enabling the XMM (bit 1) and YMM (bit 2) state
  // for AVX, and for AVX-512 also the opmask (bit 5), the upper halves of
  // zmm0-15 (bit 6) and zmm16-31 (bit 7).
  const unsigned states = (ecx & bit_OSXSAVE) != 0 && (ecx & bit_AVX) != 0 ? savedStates() : 0;
  const bool osSavesAvx = (states & 0x06u) == 0x06u;
  const bool osSavesAvx512 = (states & 0xE6u) == 0xE6u;
  if (features.ssse3 && osSavesAvx && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
    features.avx2 = (ebx & bit_AVX2) != 0;
    const unsigned bw = bit_AVX512F | bit_AVX512BW | bit_AVX512VL;
    features.avx512bw = features.avx2 && osSavesAvx512 && (ebx & bw) == bw;
    features.avx512vbmi = features.avx512bw && (ecx & bit_AVX512VBMI) != 0;
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
    case RowVariant::Avx512Bw:
      return features.avx512bw;
    case RowVariant::Avx512Vbmi:
      return features.avx512vbmi;
  }
  return false;
}

// The size of the data or unified cache of a level, from one of CPUID's
// leaves of deterministic cache parameters (4 on Intel, 0x8000001D on AMD);
// 0 if the leaf names none.
std::size_t cacheBytesFromLeaf(unsigned leaf, unsigned level) {
  for (unsigned index = 0; index < 16; ++index) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid_count(leaf, index, eax, ebx, ecx, edx);
    const unsigned type = eax & 0x1Fu;  // 1 data, 2 instructions, 3 unified; 0 ends the list
    if (type == 0) {
      break;
    }
    if (((eax >> 5) & 0x7u) == level && type != 2) {
      const std::size_t ways = (ebx >> 22) + 1;
      const std::size_t partitions = ((ebx >> 12) & 0x3FFu) + 1;
      const std::size_t lineBytes = (ebx & 0xFFFu) + 1;
      return ways * partitions * lineBytes * (std::size_t{ecx} + 1);
    }
  }
  return 0;
}

// The second-level cache, each core's own on current x86 processors; 0 if
// the processor does not say.
std::size_t secondLevelCacheBytes() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_max(0, nullptr) >= 4) {
    if (const std::size_t bytes = cacheBytesFromLeaf(4, 2)) {
      return bytes;
    }
  }
  const unsigned extended = __get_cpuid_max(0x80000000u, nullptr);
  if (extended >= 0x8000001Du && __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) != 0 &&
      (ecx & (1u << 22)) != 0) {  // topology extensions: AMD's leaf 0x8000001D
    if (const std::size_t bytes = cacheBytesFromLeaf(0x8000001Du, 2)) {
      return bytes;
    }
  }
  if (extended >= 0x80000006u && __get_cpuid(0x80000006u, &eax, &ebx, &ecx, &edx) != 0) {
    return std::size_t{ecx >> 16} << 10;  // AMD's older leaf: kilobytes in ECX[31:16]
  }
  return 0;
}

#else

bool processorRuns(RowVariant variant) { return variant == RowVariant::Scalar; }

std::size_t secondLevelCacheBytes() { return 0; }

#endif

constexpr RowVariant vectorVariants[] = {RowVariant::Avx512Vbmi, RowVariant::Avx512Bw,
                                         RowVariant::Avx2, RowVariant::Ssse3, RowVariant::Sse2};

RowVariant bestVariant() {
  for (RowVariant variant : vectorVariants) {
    if (rowVariantSupported(variant)) {
      return variant;
    }
  }
  return RowVariant::Scalar;
}

RowVariant blitVariant() {
  // Chosen on the first frame; every later frame only reads the choice.
  static const RowVariant best = bestVariant();
  return best;
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
  static const RowConverter to24 = rowConverter(24, blitVariant());
  static const RowConverter to16 = rowConverter(16, blitVariant());
  return depth == 32 ? rowTo32 : depth == 24 ? to24 : to16;
}

RowConverter streamingRowConverter(std::uint32_t depth, RowVariant variant) {
  if (variant == RowVariant::Scalar || !rowVariantSupported(variant)) {
    return nullptr;
  }
  return vectorStreamingRowConverter(depth == 32 || depth == 24 ? depth : 16, variant);
}

RowConverter streamingRowConverterFor(std::uint32_t depth) {
  static const RowConverter to32 = streamingRowConverter(32, blitVariant());
  static const RowConverter to24 = streamingRowConverter(24, blitVariant());
  static const RowConverter to16 = streamingRowConverter(16, blitVariant());
  return depth == 32 ? to32 : depth == 24 ? to24 : to16;
}

std::size_t streamingThresholdBytes() {
  // Measured on a Zen 4 with 1 MiB of L2 (BENCHMARKS.md): frames of up to
  // 1.5 MiB at 24 and 32 bpp are written faster through the caches when
  // they are in them (by 1.25 to 2.4 times) and gain little from streaming
  // when they are not; from about 2 MiB streaming wins cold (0.73 to 0.94 of
  // the time) and costs at most about 10 % in cache. Without a cache
  // description, 1 MiB of L2 is assumed.
  static const std::size_t threshold = [] {
    const std::size_t secondLevel = secondLevelCacheBytes();
    return (secondLevel != 0 ? secondLevel : std::size_t{1} << 20) * 3 / 2;
  }();
  return threshold;
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
    case RowVariant::Avx512Bw:
      return "Avx512Bw";
    case RowVariant::Avx512Vbmi:
      return "Avx512Vbmi";
  }
  return "?";
}
