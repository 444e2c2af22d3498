// Vector variants of rowTo24 and rowTo16 for x86: SSE2, SSSE3, AVX2 and
// AVX-512 (BW, and VBMI for 24 bpp), and the streaming rows.
//
// Each entry point carries its own target attribute instead of a global -m
// flag, so this file builds with the project's baseline flags and the
// binaries still start on any x86; rowConverter hands one out only after
// rows.cpp has seen the processor support it. Every variant converts whole
// blocks with vector code, then finishes the last pixels of a row with the
// scalar row (the AVX-512 rows with masked loads and stores), so the output
// is the scalar row's, byte for byte. Loads and stores are the unaligned
// forms, except the streamed stores: rows start anywhere. No load reaches
// past the source row and no store past the destination row (masked-off
// elements are neither read nor written).
//
// Stack alignment:
// - 32-bit x86 (i686 Windows): callers outside our code, the JVM's threads
//   among them, guarantee a 4-byte aligned stack, while GCC assumes 16 bytes
//   for i686. Every entry point is marked force_align_arg_pointer: it
//   realigns its own frame on entry, and 32-bit GCC can realign to whatever
//   its vector spill slots need (16 or 32 bytes), so AVX2 is safe there too.
// - 64-bit Windows guarantees 16 bytes, and GCC cannot realign a frame to 32
//   or 64 bytes under SEH: an aligned 32- or 64-byte spill could fault. The
//   AVX2 and AVX-512 kernels keep all their values in registers (x86-64 has
//   sixteen ymm and thirty-two zmm), which holds in optimised builds (the
//   win64 DLL's code has no ymm or zmm access relative to rsp or rbp); an
//   unoptimised build keeps every vector in a stack slot, so it does without
//   AVX2 and AVX-512 on 64-bit Windows.
#include "rows.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)

// GCC 12's AVX-512 intrinsics start some results from an undefined value
// written as `__m512i __Y = __Y;`, which -Wmaybe-uninitialized reports
// wherever they are inlined (GCC bug 105593, fixed in GCC 13). The warning
// is located in the header, so it is turned off for the header only.
#if defined(__clang__)
#include <immintrin.h>
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

#include <cstdint>
#include <cstring>

#if defined(_WIN64) && !defined(__OPTIMIZE__)
#define CORVANE_ROWS_WIDE 0
#else
#define CORVANE_ROWS_WIDE 1
#endif

#define AVX512_BW "avx2,avx512f,avx512bw,avx512vl"
#define AVX512_VBMI "avx2,avx512f,avx512bw,avx512vl,avx512vbmi"

#if defined(__i386__)
#define ROW_ENTRY(features) __attribute__((target(features), force_align_arg_pointer))
#else
#define ROW_ENTRY(features) __attribute__((target(features)))
#endif
#define ROW_STEP(features) __attribute__((target(features), always_inline)) inline

namespace {

ROW_STEP("sse2") __m128i load4(const std::uint32_t* source) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
}

ROW_STEP("sse2") void store16(std::uint8_t* destination, __m128i bytes) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), bytes);
}

// Twelve bytes: the low eight, then the next four.
ROW_STEP("sse2") void store12(std::uint8_t* destination, __m128i bytes) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), bytes);
  const std::int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(bytes, 8));
  std::memcpy(destination + 8, &last, sizeof last);
}

// ---------------------------------------------------------------- 24 bpp

// Four pixels as two pairs: in each 64-bit half the second pixel's colour
// moves down one byte, over the first pixel's alpha, giving the pair's six
// bytes at the bottom of the half and two zero bytes above them.
ROW_STEP("sse2") __m128i pairs24Sse2(__m128i pixels) {
  const __m128i firstOfPair = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i secondOfPair = _mm_set_epi32(0x00FFFFFF, 0, 0x00FFFFFF, 0);
  return _mm_or_si128(_mm_and_si128(pixels, firstOfPair),
                      _mm_srli_epi64(_mm_and_si128(pixels, secondOfPair), 8));
}

ROW_ENTRY("sse2")
void rowTo24Sse2(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  // Each pair is stored as a whole 64-bit half, six bytes after the last:
  // its two zero bytes are overwritten by the next store. The last store of
  // a block reaches two bytes past it, so blocks run only while at least one
  // more pixel follows; the rest of the row is stored exactly.
  for (; width - x > 16; x += 16, destination += 48) {
    for (std::int32_t quad = 0; quad < 4; ++quad) {
      const __m128i pairs = pairs24Sse2(load4(source + x + 4 * quad));
      std::uint8_t* const at = destination + 12 * quad;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(at), pairs);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(at + 6), _mm_unpackhi_epi64(pairs, pairs));
    }
  }
  for (; width - x >= 4; x += 4, destination += 12) {
    // Four pixels exactly: the upper pair's six bytes follow the lower's.
    const __m128i pairs = pairs24Sse2(load4(source + x));
    const __m128i upper = _mm_slli_si128(_mm_unpackhi_epi64(pairs, _mm_setzero_si128()), 6);
    store12(destination, _mm_or_si128(_mm_move_epi64(pairs), upper));
  }
  rowTo24(source + x, destination, width - x);
}

// pshufb selections of the B, G, R bytes of four pixels (-1: a zero byte).
// The four inputs of a 16-pixel block are placed so that one palignr of each
// neighbouring pair gives a whole 16-byte output:
//   out0 = bytes 4..15 of A, 0..3 of B;  out1 = 8..15 of B, 0..7 of C;
//   out2 = 12..15 of C, 0..11 of D.
ROW_STEP("ssse3") __m128i packedAt4(__m128i pixels) {  // A: pixels 0..3 at bytes 4..15
  return _mm_shuffle_epi8(pixels,
                          _mm_setr_epi8(-1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14));
}
ROW_STEP("ssse3") __m128i packedSplit4(__m128i pixels) {  // B: bytes 0..3 at 0..3, 4..11 at 8..15
  return _mm_shuffle_epi8(pixels,
                          _mm_setr_epi8(0, 1, 2, 4, -1, -1, -1, -1, 5, 6, 8, 9, 10, 12, 13, 14));
}
ROW_STEP("ssse3") __m128i packedSplit8(__m128i pixels) {  // C: bytes 0..7 at 0..7, 8..11 at 12..15
  return _mm_shuffle_epi8(pixels,
                          _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, -1, -1, -1, -1, 10, 12, 13, 14));
}
ROW_STEP("ssse3") __m128i packedAt0(__m128i pixels) {  // D: pixels 0..3 at bytes 0..11
  return _mm_shuffle_epi8(pixels,
                          _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
}

ROW_ENTRY("ssse3")
void rowTo24Ssse3(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  for (; width - x >= 16; x += 16, destination += 48) {
    const __m128i a = packedAt4(load4(source + x));
    const __m128i b = packedSplit4(load4(source + x + 4));
    const __m128i c = packedSplit8(load4(source + x + 8));
    const __m128i d = packedAt0(load4(source + x + 12));
    store16(destination, _mm_alignr_epi8(b, a, 4));
    store16(destination + 16, _mm_alignr_epi8(c, b, 8));
    store16(destination + 32, _mm_alignr_epi8(d, c, 12));
  }
  for (; width - x >= 4; x += 4, destination += 12) {
    store12(destination, packedAt0(load4(source + x)));
  }
  rowTo24(source + x, destination, width - x);
}

#if CORVANE_ROWS_WIDE

ROW_STEP("avx2") __m256i load8(const std::uint32_t* source) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
}

// Eight pixels' B, G, R bytes packed within each 128-bit lane: dwords 0..2
// and 4..6 hold the colour, dwords 3 and 7 are zero.
ROW_STEP("avx2") __m256i packLanes24(__m256i pixels) {
  const __m256i select =
      _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                       0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  return _mm256_shuffle_epi8(pixels, select);
}

// A 32-pixel block gives three 32-byte outputs. Numbering the colour dwords
// of a lane-packed input 0,1,2,4,5,6, one dword permutation per input puts
// each of its pieces where its outputs want them, and dword blends join
// neighbours:
//   out0 = A's six dwords, B's first two;   out1 = B's last four, C's first four;
//   out2 = C's last two, D's six.
struct Block24 {
  __m256i a, b, c, d;
};

ROW_STEP("avx2") Block24 gather24(const std::uint32_t* source) {
  const __m256i placeA = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0);
  const __m256i placeB = _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 1);
  const __m256i placeC = _mm256_setr_epi32(5, 6, 0, 0, 0, 1, 2, 4);
  const __m256i placeD = _mm256_setr_epi32(0, 0, 0, 1, 2, 4, 5, 6);
  return {_mm256_permutevar8x32_epi32(packLanes24(load8(source)), placeA),
          _mm256_permutevar8x32_epi32(packLanes24(load8(source + 8)), placeB),
          _mm256_permutevar8x32_epi32(packLanes24(load8(source + 16)), placeC),
          _mm256_permutevar8x32_epi32(packLanes24(load8(source + 24)), placeD)};
}

// Streamed stores (for the streaming rows) need 32-byte alignment.
ROW_STEP("avx2") void store32(std::uint8_t* destination, __m256i bytes, bool streamed) {
  auto* const at = reinterpret_cast<__m256i*>(destination);
  if (streamed) {
    _mm256_stream_si256(at, bytes);
  } else {
    _mm256_storeu_si256(at, bytes);
  }
}

ROW_STEP("avx2")
void store24(std::uint8_t* destination, const Block24& block, bool streamed = false) {
  store32(destination, _mm256_blend_epi32(block.a, block.b, 0xC0), streamed);
  store32(destination + 32, _mm256_blend_epi32(block.b, block.c, 0xF0), streamed);
  store32(destination + 64, _mm256_blend_epi32(block.c, block.d, 0xFC), streamed);
}

ROW_ENTRY("avx2")
void rowTo24Avx2(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  // Two blocks per step: all eight loads are issued before the stores, which
  // keeps more of them in flight while the caches set the pace.
  for (; width - x >= 64; x += 64, destination += 192) {
    const Block24 first = gather24(source + x);
    const Block24 second = gather24(source + x + 32);
    store24(destination, first);
    store24(destination + 96, second);
  }
  for (; width - x >= 32; x += 32, destination += 96) {
    store24(destination, gather24(source + x));
  }
  // Eight pixels at a time: 24 bytes, stored as sixteen and eight.
  for (; width - x >= 8; x += 8, destination += 24) {
    const __m256i packed = _mm256_permutevar8x32_epi32(packLanes24(load8(source + x)),
                                                       _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0));
    store16(destination, _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 16),
                     _mm256_extracti128_si256(packed, 1));
  }
  rowTo24(source + x, destination, width - x);
}

#endif  // CORVANE_ROWS_WIDE

// ---------------------------------------------------------------- 16 bpp
//
// Each pixel's 5:6:5 value is first formed eight times over (bits 3..18 of
// its dword), by multiply-adds on the masked colour bytes:
//   B & 0xF8 = b5 << 3, G & 0xFC = g6 << 2, R & 0xF8 = r5 << 3, and
//   value << 3 = (b5 << 3) + (g6 << 8) + (r5 << 14).

// SSE2: pmaddwd adds blue x 1 and red x 2048 (the words of 0x00F800F8's
// mask); green, in the same word as blue, is shifted in separately.
ROW_STEP("sse2") __m128i times8To565Sse2(__m128i pixels) {
  const __m128i redBlue = _mm_and_si128(pixels, _mm_set1_epi32(0x00F800F8));
  const __m128i green = _mm_and_si128(pixels, _mm_set1_epi32(0x0000FC00));
  return _mm_or_si128(_mm_madd_epi16(redBlue, _mm_set1_epi32(0x08000001)),
                      _mm_srli_epi32(green, 2));
}

// The value in the high half of each dword, sign-extended down, so that the
// signed saturating pack keeps every 16-bit pattern as it is.
ROW_STEP("sse2") __m128i signed565Sse2(__m128i times8) {
  return _mm_srai_epi32(_mm_slli_epi32(times8, 13), 16);
}

ROW_ENTRY("sse2")
void rowTo16Sse2(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  for (; width - x >= 8; x += 8, destination += 16) {
    const __m128i low = signed565Sse2(times8To565Sse2(load4(source + x)));
    const __m128i high = signed565Sse2(times8To565Sse2(load4(source + x + 4)));
    store16(destination, _mm_packs_epi32(low, high));
  }
  if (width - x >= 4) {
    const __m128i values = signed565Sse2(times8To565Sse2(load4(source + x)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), _mm_packs_epi32(values, values));
    x += 4;
    destination += 8;
  }
  rowTo16(source + x, destination, width - x);
}

// SSSE3: pmaddubsw weighs the bytes B x 1 + G x 64 and R x 1 into two words,
// then pmaddwd adds the low word x 1 and the high word x 2048.
ROW_STEP("ssse3") __m128i times8To565Ssse3(__m128i pixels) {
  const __m128i masked = _mm_and_si128(pixels, _mm_set1_epi32(0x00F8FCF8));
  return _mm_madd_epi16(_mm_maddubs_epi16(masked, _mm_set1_epi32(0x00014001)),
                        _mm_set1_epi32(0x08000001));
}

ROW_ENTRY("ssse3")
void rowTo16Ssse3(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  // Words a0 b0 a1 b1 ... reordered to a0..a3 b0..b3.
  const __m128i order = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
  std::int32_t x = 0;
  for (; width - x >= 8; x += 8, destination += 16) {
    const __m128i low = _mm_srli_epi32(times8To565Ssse3(load4(source + x)), 3);
    const __m128i high = _mm_slli_epi32(times8To565Ssse3(load4(source + x + 4)), 13);
    store16(destination, _mm_shuffle_epi8(_mm_or_si128(low, high), order));
  }
  if (width - x >= 4) {
    const __m128i values = _mm_srli_epi32(times8To565Ssse3(load4(source + x)), 3);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), _mm_shuffle_epi8(values, order));
    x += 4;
    destination += 8;
  }
  rowTo16(source + x, destination, width - x);
}

#if CORVANE_ROWS_WIDE

ROW_STEP("avx2") __m256i values565Avx2(__m256i pixels) {
  const __m256i masked = _mm256_and_si256(pixels, _mm256_set1_epi32(0x00F8FCF8));
  const __m256i times8 = _mm256_madd_epi16(
      _mm256_maddubs_epi16(masked, _mm256_set1_epi32(0x00014001)), _mm256_set1_epi32(0x08000001));
  return _mm256_srli_epi32(times8, 3);
}

ROW_ENTRY("avx2")
void rowTo16Avx2(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  for (; width - x >= 16; x += 16, destination += 32) {
    const __m256i low = values565Avx2(load8(source + x));
    const __m256i high = values565Avx2(load8(source + x + 8));
    // The pack works per 128-bit lane (low 0..3, high 0..3 | low 4..7,
    // high 4..7); the 64-bit permutation restores pixel order.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), packed);
  }
  if (width - x >= 8) {
    const __m256i values = values565Avx2(load8(source + x));
    store16(destination,
            _mm_packus_epi32(_mm256_castsi256_si128(values), _mm256_extracti128_si256(values, 1)));
    x += 8;
    destination += 16;
  }
  rowTo16(source + x, destination, width - x);
}

#endif  // CORVANE_ROWS_WIDE

// ------------------------------------------------------------- AVX-512

#if CORVANE_ROWS_WIDE

// Byte selections for vpermt2b, which picks each output byte from the 128
// bytes of two sources by its index (0..63 the first, 64..127 the second).
struct ByteTable {
  alignas(64) std::uint8_t bytes[64];
};

// The 64 bytes that start `start` bytes into the B, G, R bytes of a run of
// pixels, picked from a first source holding 16 pixels from pixel `first`
// of the run and a second holding 16 from pixel `second`.
constexpr ByteTable pack24Table(int start, int first, int second) {
  ByteTable table{};
  for (int i = 0; i < 64; ++i) {
    const int pixel = (start + i) / 3;
    const int colour = (start + i) % 3;
    table.bytes[i] = static_cast<std::uint8_t>(
        pixel < first + 16 ? (pixel - first) * 4 + colour : 64 + (pixel - second) * 4 + colour);
  }
  return table;
}

// A 64-pixel block as four 16-pixel sources a, b, c, d: its 192 bytes are
// (a, b), (b, c) and (c, d) permuted. The first also packs 16 pixels from a
// alone into its first 48 bytes.
constexpr ByteTable blockTables24[3] = {pack24Table(0, 0, 16), pack24Table(64, 16, 32),
                                        pack24Table(128, 32, 48)};

ROW_STEP(AVX512_BW) __m512i load16(const std::uint32_t* source) {
  return _mm512_loadu_si512(source);
}

ROW_STEP(AVX512_BW) __m512i table(const ByteTable& selection) {
  return _mm512_load_si512(selection.bytes);
}

// The first `count` (0..15) pixels only; the rest read as zero and are not
// touched in memory.
ROW_STEP(AVX512_BW) __m512i loadFirst(const std::uint32_t* source, std::int32_t count) {
  return _mm512_maskz_loadu_epi32(static_cast<__mmask16>((1u << count) - 1), source);
}

ROW_STEP(AVX512_BW)
void storeFirstBytes(std::uint8_t* destination, __m512i bytes, std::int32_t count) {
  _mm512_mask_storeu_epi8(destination, (std::uint64_t{1} << count) - 1, bytes);
}

ROW_ENTRY(AVX512_VBMI)
void rowTo24Avx512Vbmi(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  const __m512i first = table(blockTables24[0]);
  const __m512i second = table(blockTables24[1]);
  const __m512i third = table(blockTables24[2]);
  std::int32_t x = 0;
  for (; width - x >= 64; x += 64, destination += 192) {
    const __m512i a = load16(source + x);
    const __m512i b = load16(source + x + 16);
    const __m512i c = load16(source + x + 32);
    const __m512i d = load16(source + x + 48);
    _mm512_storeu_si512(destination, _mm512_permutex2var_epi8(a, first, b));
    _mm512_storeu_si512(destination + 64, _mm512_permutex2var_epi8(b, second, c));
    _mm512_storeu_si512(destination + 128, _mm512_permutex2var_epi8(c, third, d));
  }
  // Then 16 pixels at a time, and the last few through masks: 48 bytes or
  // fewer of each permutation are stored.
  for (; width - x >= 16; x += 16, destination += 48) {
    storeFirstBytes(destination, _mm512_permutexvar_epi8(first, load16(source + x)), 48);
  }
  if (x < width) {
    const std::int32_t count = width - x;
    storeFirstBytes(destination, _mm512_permutexvar_epi8(first, loadFirst(source + x, count)),
                    3 * count);
  }
}

// Without VBMI: pshufb packs each 128-bit lane's four pixels into its low
// twelve bytes (dwords 0..2 of the lane), then vpermt2d gathers the colour
// dwords (0, 1, 2, 4, 5, 6, 8, ...) of two sources into whole outputs.
ROW_STEP(AVX512_BW) __m512i packLanes24Avx512(__m512i pixels) {
  const __m512i select =
      _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
  return _mm512_shuffle_epi8(pixels, select);
}

// Of (a, b): a's twelve colour dwords, b's first four.
ROW_STEP(AVX512_BW) __m512i firstOf24Avx512() {
  return _mm512_setr_epi32(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20);
}

// 64 pixels into 192 bytes.
ROW_STEP(AVX512_BW) void block24Avx512Bw(const std::uint32_t* source, std::uint8_t* destination) {
  // Of (b, c): b's last eight, c's first eight.
  const __m512i second =
      _mm512_setr_epi32(5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25);
  // Of (c, d): c's last four, d's twelve.
  const __m512i third =
      _mm512_setr_epi32(10, 12, 13, 14, 16, 17, 18, 20, 21, 22, 24, 25, 26, 28, 29, 30);
  const __m512i a = packLanes24Avx512(load16(source));
  const __m512i b = packLanes24Avx512(load16(source + 16));
  const __m512i c = packLanes24Avx512(load16(source + 32));
  const __m512i d = packLanes24Avx512(load16(source + 48));
  _mm512_storeu_si512(destination, _mm512_permutex2var_epi32(a, firstOf24Avx512(), b));
  _mm512_storeu_si512(destination + 64, _mm512_permutex2var_epi32(b, second, c));
  _mm512_storeu_si512(destination + 128, _mm512_permutex2var_epi32(c, third, d));
}

ROW_ENTRY(AVX512_BW)
void rowTo24Avx512Bw(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  for (; width - x >= 64; x += 64, destination += 192) {
    block24Avx512Bw(source + x, destination);
  }
  const __m512i first = firstOf24Avx512();
  for (; width - x >= 16; x += 16, destination += 48) {
    storeFirstBytes(destination,
                    _mm512_permutexvar_epi32(first, packLanes24Avx512(load16(source + x))), 48);
  }
  if (x < width) {
    const std::int32_t count = width - x;
    const __m512i pixels = packLanes24Avx512(loadFirst(source + x, count));
    storeFirstBytes(destination, _mm512_permutexvar_epi32(first, pixels), 3 * count);
  }
}

// 16 bpp: the AVX2 arithmetic on sixteen pixels at a time.
ROW_STEP(AVX512_BW) __m512i values565Avx512(__m512i pixels) {
  const __m512i masked = _mm512_and_si512(pixels, _mm512_set1_epi32(0x00F8FCF8));
  const __m512i times8 = _mm512_madd_epi16(
      _mm512_maddubs_epi16(masked, _mm512_set1_epi32(0x00014001)), _mm512_set1_epi32(0x08000001));
  return _mm512_srli_epi32(times8, 3);
}

// Thirty-two pixels' values: the pack works per 128-bit lane, giving the
// quarters of the two halves interleaved; vpermq puts them in order.
ROW_STEP(AVX512_BW) __m512i pack565Avx512(__m512i first, __m512i second) {
  const __m512i packed = _mm512_packus_epi32(values565Avx512(first), values565Avx512(second));
  return _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7), packed);
}

ROW_ENTRY(AVX512_BW)
void rowTo16Avx512(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  std::int32_t x = 0;
  for (; width - x >= 32; x += 32, destination += 64) {
    _mm512_storeu_si512(destination, pack565Avx512(load16(source + x), load16(source + x + 16)));
  }
  if (width - x >= 16) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination),
                        _mm512_cvtepi32_epi16(values565Avx512(load16(source + x))));
    x += 16;
    destination += 32;
  }
  if (x < width) {
    const std::int32_t count = width - x;
    _mm256_mask_storeu_epi16(destination, static_cast<__mmask16>((1u << count) - 1),
                             _mm512_cvtepi32_epi16(values565Avx512(loadFirst(source + x, count))));
  }
}

#endif  // CORVANE_ROWS_WIDE

// ------------------------------------------------------- streaming rows
//
// On Zen 4, rows that miss the caches run faster with 256-bit loads and
// streamed stores than with 512-bit ones (BENCHMARKS.md), so the AVX-512
// streaming rows move memory in halves.
//
// A streaming row finds the first 64-byte boundary in its destination row,
// writes the bytes before it with the ordinary row, every whole line from
// there with non-temporal stores (which need the alignment), and the bytes
// after the last whole line with the ordinary row again.

struct StreamedLines {
  std::size_t start;  // bytes into the row where the first whole line begins
  std::size_t end;    // where the last whole line ends; start == end if none
};

StreamedLines streamedLines(const std::uint8_t* destination, std::size_t rowBytes) {
  const std::size_t start = (64 - reinterpret_cast<std::uintptr_t>(destination) % 64) % 64;
  if (start + 64 > rowBytes) {
    return {0, 0};
  }
  return {start, start + (rowBytes - start) / 64 * 64};
}

// Streaming rows run only where SSE2 does, so the fence is always there
// when it is needed.
__attribute__((target("sse2"))) void fenceStreamedStores() { _mm_sfence(); }

ROW_ENTRY("sse2")
void streamTo32Sse2(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  if (width <= 0) {
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source);
  const StreamedLines lines = streamedLines(destination, rowBytes);
  std::memcpy(destination, bytes, lines.start);
  for (std::size_t at = lines.start; at < lines.end; at += 64) {
    const auto* from = reinterpret_cast<const __m128i*>(bytes + at);
    auto* to = reinterpret_cast<__m128i*>(destination + at);
    const __m128i a = _mm_loadu_si128(from);
    const __m128i b = _mm_loadu_si128(from + 1);
    const __m128i c = _mm_loadu_si128(from + 2);
    const __m128i d = _mm_loadu_si128(from + 3);
    _mm_stream_si128(to, a);
    _mm_stream_si128(to + 1, b);
    _mm_stream_si128(to + 2, c);
    _mm_stream_si128(to + 3, d);
  }
  std::memcpy(destination + lines.end, bytes + lines.end, rowBytes - lines.end);
}

#if CORVANE_ROWS_WIDE

// At 16 bpp a line holds 32 whole pixels when the row starts on an even
// address, as surface rows do; a row on an odd one is not streamed.
ROW_ENTRY("avx2")
void streamTo16Avx2(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  const StreamedLines lines =
      streamedLines(destination, static_cast<std::size_t>(width < 0 ? 0 : width) * 2);
  if (lines.start == lines.end || lines.start % 2 != 0) {
    rowTo16Avx2(source, destination, width);
    return;
  }
  rowTo16Avx2(source, destination, static_cast<std::int32_t>(lines.start / 2));
  for (std::size_t at = lines.start; at < lines.end; at += 64) {
    const std::uint32_t* const pixels = source + at / 2;
    for (std::size_t half = 0; half < 2; ++half) {
      const __m256i low = values565Avx2(load8(pixels + 16 * half));
      const __m256i high = values565Avx2(load8(pixels + 16 * half + 8));
      _mm256_stream_si256(reinterpret_cast<__m256i*>(destination + at + 32 * half),
                          _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), 0xD8));
    }
  }
  const auto done = static_cast<std::int32_t>(lines.end / 2);
  rowTo16Avx2(source + done, destination + lines.end, width - done);
}

ROW_STEP(AVX512_BW) __m512i load16Halves(const std::uint32_t* source) {
  return _mm512_inserti64x4(
      _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source))),
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 8)), 1);
}

// 64 bytes to a 64-byte aligned line, with non-temporal stores.
ROW_STEP(AVX512_BW) void streamLine(std::uint8_t* destination, __m512i bytes) {
  auto* const at = reinterpret_cast<__m256i*>(destination);
  _mm256_stream_si256(at, _mm512_castsi512_si256(bytes));
  _mm256_stream_si256(at + 1, _mm512_extracti64x4_epi64(bytes, 1));
}

ROW_ENTRY(AVX512_BW)
void streamTo16Avx512(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  const StreamedLines lines =
      streamedLines(destination, static_cast<std::size_t>(width < 0 ? 0 : width) * 2);
  if (lines.start == lines.end || lines.start % 2 != 0) {
    rowTo16Avx512(source, destination, width);
    return;
  }
  rowTo16Avx512(source, destination, static_cast<std::int32_t>(lines.start / 2));
  for (std::size_t at = lines.start; at < lines.end; at += 64) {
    const std::uint32_t* const pixels = source + at / 2;
    streamLine(destination + at, pack565Avx512(load16Halves(pixels), load16Halves(pixels + 16)));
  }
  const auto done = static_cast<std::int32_t>(lines.end / 2);
  rowTo16Avx512(source + done, destination + lines.end, width - done);
}

// 24 bpp rows stream whole 64-pixel blocks: 192 bytes, three lines, from
// the first pixel that starts on a 64-byte boundary. That is pixel k with
// 3k = -address (mod 64); as 3 x 43 = 1 (mod 64), k = -address x 43
// (mod 64). Up to 63 pixels before it and the last few after the last
// block are stored as usual.
std::int32_t firstAlignedPixel24(const std::uint8_t* destination) {
  return static_cast<std::int32_t>((64 - reinterpret_cast<std::uintptr_t>(destination) % 64) * 43 %
                                   64);
}

ROW_ENTRY("avx2")
void streamTo24Avx2(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width) {
  const std::int32_t first = firstAlignedPixel24(destination);
  if (width - first < 64) {
    rowTo24Avx2(source, destination, width);
    return;
  }
  rowTo24Avx2(source, destination, first);
  std::int32_t x = first;
  for (; width - x >= 64; x += 64) {
    std::uint8_t* const at = destination + 3 * static_cast<std::size_t>(x);
    store24(at, gather24(source + x), true);
    store24(at + 96, gather24(source + x + 32), true);
  }
  rowTo24Avx2(source + x, destination + 3 * static_cast<std::size_t>(x), width - x);
}

#endif  // CORVANE_ROWS_WIDE

}  // namespace

RowConverter vectorRowConverter(std::uint32_t depth, RowVariant variant) {
  const bool deep = depth == 24;
  switch (variant) {
    case RowVariant::Sse2:
      return deep ? rowTo24Sse2 : rowTo16Sse2;
    case RowVariant::Ssse3:
      return deep ? rowTo24Ssse3 : rowTo16Ssse3;
#if CORVANE_ROWS_WIDE
    case RowVariant::Avx2:
      return deep ? rowTo24Avx2 : rowTo16Avx2;
    case RowVariant::Avx512Bw:
      return deep ? rowTo24Avx512Bw : rowTo16Avx512;
    case RowVariant::Avx512Vbmi:
      return deep ? rowTo24Avx512Vbmi : rowTo16Avx512;
#else
    case RowVariant::Avx2:
    case RowVariant::Avx512Bw:
    case RowVariant::Avx512Vbmi:
      return nullptr;
#endif
    case RowVariant::Scalar:
      break;
  }
  return nullptr;
}

RowConverter vectorStreamingRowConverter(std::uint32_t depth, RowVariant variant) {
  if (variant == RowVariant::Scalar) {
    return nullptr;
  }
  if (depth == 32) {
    // A copy is bound by memory with any vector width.
    return streamTo32Sse2;
  }
  // Without AVX2 (the SSE2 and SSSE3 variants) only the copy streams: there
  // the 24 and 16 bpp rows are bound more by their arithmetic than by memory.
#if CORVANE_ROWS_WIDE
  switch (variant) {
    case RowVariant::Avx2:
      return depth == 24 ? streamTo24Avx2 : streamTo16Avx2;
    case RowVariant::Avx512Bw:
    case RowVariant::Avx512Vbmi:
      // At 24 bpp AVX2's streamed blocks measured as fast as or faster than
      // AVX-512 ones (BENCHMARKS.md): the rows are bound by memory there.
      return depth == 24 ? streamTo24Avx2 : streamTo16Avx512;
    default:
      break;
  }
#endif
  return nullptr;
}

void endStreamedRows() { fenceStreamedStores(); }

#else  // no x86 vector code in this build

RowConverter vectorRowConverter(std::uint32_t, RowVariant) { return nullptr; }

RowConverter vectorStreamingRowConverter(std::uint32_t, RowVariant) { return nullptr; }

void endStreamedRows() {}

#endif
