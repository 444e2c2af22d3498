// Runs every row variant this processor supports, and every streaming row,
// against the scalar rows, as Windows code: random rows of many widths,
// unaligned destinations with guard bytes around them and, on 32-bit x86,
// from stacks misaligned by 4, 8 and 12 bytes, as a JVM's threads may call.
// Prints "N passed, N failed".
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <random>
#include <vector>

#include "frame/rows.h"

namespace {

int passed = 0;
int failed = 0;

// Calls the converter with the stack pointer moved down by `shift` bytes.
// This file is built for 32-bit x86 with a 4-byte preferred stack boundary,
// so the alloca moves the stack by exactly that much.
__attribute__((noinline)) void callShifted(int shift, RowConverter convert,
                                           const std::uint32_t* source, std::uint8_t* destination,
                                           std::int32_t width) {
  volatile char* pad = static_cast<char*>(__builtin_alloca(static_cast<std::size_t>(shift) + 4));
  pad[0] = 0;
  convert(source, destination, width);
  pad[0] = 1;
}

}  // namespace

int main() {
  std::mt19937 random(20261211);
  std::vector<std::int32_t> widths;
  for (std::int32_t w = 0; w <= 70; ++w) widths.push_back(w);
  for (std::int32_t w : {95, 127, 128, 129, 631, 800, 1023, 1024}) widths.push_back(w);
#if defined(__i386__)
  const int shifts[] = {0, 4, 8, 12};
#else
  const int shifts[] = {0};
#endif
  const RowVariant variants[] = {RowVariant::Sse2, RowVariant::Ssse3, RowVariant::Avx2,
                                 RowVariant::Avx512Bw, RowVariant::Avx512Vbmi};
  for (RowVariant variant : variants) {
    if (!rowVariantSupported(variant)) {
      std::printf("%s: not supported by this processor, not checked\n", rowVariantName(variant));
      continue;
    }
    for (bool streaming : {false, true}) {
      for (std::uint32_t depth : {32u, 24u, 16u}) {
        const RowConverter vector =
            streaming ? streamingRowConverter(depth, variant) : rowConverter(depth, variant);
        // Depth 32 is the same memcpy in every ordinary variant.
        if (vector == nullptr || (depth == 32 && !streaming)) continue;
        const RowConverter scalar = rowConverter(depth, RowVariant::Scalar);
        const char* kind = streaming ? "streaming" : "row";
        const std::size_t bpp = depth / 8;
        int wrong = 0;
        for (std::int32_t width : widths) {
          std::vector<std::uint32_t> source(static_cast<std::size_t>(width) + 3);
          for (auto& p : source) p = random();
          for (int sourceOffset = 0; sourceOffset < 3; ++sourceOffset) {
            for (int destinationOffset = 0; destinationOffset < 64; destinationOffset += 5) {
              for (int shift : shifts) {
                const std::size_t bytes = static_cast<std::size_t>(width) * bpp;
                std::vector<std::uint8_t> expected(bytes + 128, 0xA5);
                std::vector<std::uint8_t> actual(bytes + 128, 0xA5);
                scalar(source.data() + sourceOffset, expected.data() + 32 + destinationOffset,
                       width);
                callShifted(shift, vector, source.data() + sourceOffset,
                            actual.data() + 32 + destinationOffset, width);
                if (streaming) endStreamedRows();
                if (actual != expected && wrong++ == 0) {
                  std::printf("%s %s %u bpp: width %d, offsets %d/%d, stack shift %d differs\n",
                              rowVariantName(variant), kind, unsigned(depth), int(width),
                              sourceOffset, destinationOffset, shift);
                }
              }
            }
          }
        }
        if (wrong == 0) {
          ++passed;
          std::printf("%s %s %u bpp: matches the scalar row\n", rowVariantName(variant), kind,
                      unsigned(depth));
        } else {
          ++failed;
        }
      }
    }
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
