#include "x11_logic.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace x11 {

namespace {

constexpr std::uint32_t replacementCharacter = 0xFFFD;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one character at text[0 .. length) into `character` and returns
// the bytes it took. A malformed sequence gives U+FFFD and takes its lead
// byte and the continuation bytes that were valid so far.
std::size_t decodeUtf8(const unsigned char* text, std::size_t length, std::uint32_t& character) {
  const unsigned char lead = text[0];
  if (lead < 0x80) {
    character = lead;
    return 1;
  }
  std::size_t needed = 0;
  std::uint32_t value = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 1;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 2;
    value = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 3;
    value = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    character = replacementCharacter;
    return 1;
  }
  std::size_t used = 1;
  for (std::size_t i = 0; i < needed; ++i) {
    if (used >= length) {
      character = replacementCharacter;
      return used;
    }
    const unsigned char next = text[used];
    const bool valid = i == 0 ? (next >= low && next <= high) : isContinuation(next);
    if (!valid) {
      character = replacementCharacter;
      return used;
    }
    value = (value << 6) | (next & 0x3Fu);
    ++used;
  }
  character = value;
  return used;
}

}  // namespace

std::size_t lowBytesOfUtf8(const unsigned char* text, std::size_t length, char* out,
                           std::size_t capacity) {
  std::size_t written = 0;
  std::size_t at = 0;
  while (at < length && written + 1 < capacity) {
    std::uint32_t character = 0;
    at += decodeUtf8(text + at, length - at, character);
    if (character == 0) {
      break;
    }
    if (character > 0xFFFF) {
      // Two UTF-16 code units: the high and the low surrogate.
      const std::uint32_t offset = character - 0x10000;
      const auto highSurrogate = static_cast<unsigned char>((0xD800 + (offset >> 10)) & 0xFF);
      const auto lowSurrogate = static_cast<unsigned char>((0xDC00 + (offset & 0x3FF)) & 0xFF);
      out[written++] = static_cast<char>(highSurrogate);
      if (lowSurrogate == 0 || written + 1 >= capacity) {
        break;
      }
      out[written++] = static_cast<char>(lowSurrogate);
    } else {
      const auto byte = static_cast<unsigned char>(character & 0xFF);
      if (byte == 0) {
        break;  // a zero byte ends the 8-bit title, as it does a Java title's
      }
      out[written++] = static_cast<char>(byte);
    }
  }
  out[written] = '\0';
  return written;
}

std::size_t latin1ToUtf8(const char* text, char* out, std::size_t capacity) {
  std::size_t written = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte < 0x80) {
      if (written + 1 >= capacity) break;
      out[written++] = static_cast<char>(byte);
    } else {
      if (written + 2 >= capacity) break;
      out[written++] = static_cast<char>(0xC0 | (byte >> 6));
      out[written++] = static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  out[written] = '\0';
  return written;
}

Placement placePicture(std::uint32_t modeWidth, std::uint32_t modeHeight, std::uint32_t screenWidth,
                       std::uint32_t screenHeight) {
  if (modeWidth == 0 || modeHeight == 0 || modeWidth > screenWidth || modeHeight > screenHeight) {
    return {0, 0, 0};
  }
  const std::uint32_t across = screenWidth / modeWidth;
  const std::uint32_t down = screenHeight / modeHeight;
  const std::uint32_t scale = across < down ? across : down;
  return {scale, (screenWidth - scale * modeWidth) / 2, (screenHeight - scale * modeHeight) / 2};
}

namespace {

// Each of `width` pixels written `scale` times over; scale 2 as a plain
// loop the compiler vectorises.
template <typename Pixel>
void widenRow(const Pixel* source, Pixel* target, std::uint32_t width, std::uint32_t scale) {
  if (scale == 2) {
    for (std::uint32_t x = 0; x < width; ++x) {
      target[2 * x] = source[x];
      target[2 * x + 1] = source[x];
    }
    return;
  }
  for (std::uint32_t x = 0; x < width; ++x) {
    for (std::uint32_t k = 0; k < scale; ++k) {
      *target++ = source[x];
    }
  }
}

}  // namespace

void widenRow32(const std::uint32_t* source, std::uint32_t* target, std::uint32_t width,
                std::uint32_t scale) {
  widenRow(source, target, width, scale);
}

void widenRow16(const std::uint16_t* source, std::uint16_t* target, std::uint32_t width,
                std::uint32_t scale) {
  widenRow(source, target, width, scale);
}

namespace {

#if defined(__SSE2__)
// Doubling, 16 bytes of source at a time, written to both target rows with
// streaming stores: the rows are not read first, and do not push the
// frame out of the cache. Needs 16-byte aligned target rows of a multiple
// of 32 bytes.
void doubleRowStreaming(const std::uint8_t* from, std::uint8_t* first, std::uint8_t* second,
                        std::size_t sourceBytes, std::uint32_t bytesPerPixel) {
  for (std::size_t at = 0; at < sourceBytes; at += 16) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at));
    const __m128i low = bytesPerPixel == 4 ? _mm_unpacklo_epi32(pixels, pixels)
                                           : _mm_unpacklo_epi16(pixels, pixels);
    const __m128i high = bytesPerPixel == 4 ? _mm_unpackhi_epi32(pixels, pixels)
                                            : _mm_unpackhi_epi16(pixels, pixels);
    auto* a = reinterpret_cast<__m128i*>(first + 2 * at);
    auto* b = reinterpret_cast<__m128i*>(second + 2 * at);
    _mm_stream_si128(a, low);
    _mm_stream_si128(a + 1, high);
    _mm_stream_si128(b, low);
    _mm_stream_si128(b + 1, high);
  }
}
#endif

}  // namespace

void scalePicture(const std::uint8_t* source, std::ptrdiff_t sourcePitch, std::uint8_t* target,
                  std::ptrdiff_t targetPitch, std::uint32_t width, std::uint32_t height,
                  std::uint32_t bytesPerPixel, std::uint32_t scale) {
  const std::size_t wideBytes = std::size_t{width} * scale * bytesPerPixel;
#if defined(__SSE2__)
  const std::size_t sourceBytes = std::size_t{width} * bytesPerPixel;
  if (scale == 2 && bytesPerPixel != 3 && sourceBytes % 16 == 0 && targetPitch % 16 == 0 &&
      reinterpret_cast<std::uintptr_t>(target) % 16 == 0) {
    for (std::uint32_t y = 0; y < height; ++y) {
      std::uint8_t* first = target + static_cast<std::ptrdiff_t>(y) * 2 * targetPitch;
      doubleRowStreaming(source + static_cast<std::ptrdiff_t>(y) * sourcePitch, first,
                         first + targetPitch, sourceBytes, bytesPerPixel);
    }
    _mm_sfence();  // the streamed rows are in memory before anyone reads them
    return;
  }
#endif
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* from = source + static_cast<std::ptrdiff_t>(y) * sourcePitch;
    std::uint8_t* first = target + static_cast<std::ptrdiff_t>(y) * scale * targetPitch;
    // The rows are whole pixels of their own width: the casts see aligned memory.
    if (bytesPerPixel == 4) {
      widenRow32(reinterpret_cast<const std::uint32_t*>(from),
                 reinterpret_cast<std::uint32_t*>(first), width, scale);
    } else if (bytesPerPixel == 2) {
      widenRow16(reinterpret_cast<const std::uint16_t*>(from),
                 reinterpret_cast<std::uint16_t*>(first), width, scale);
    } else {
      // Three bytes a pixel (a server that packs depth 24): byte by byte.
      std::uint8_t* to = first;
      for (std::uint32_t x = 0; x < width; ++x) {
        for (std::uint32_t k = 0; k < scale; ++k, to += bytesPerPixel) {
          std::memcpy(to, from + std::size_t{x} * bytesPerPixel, bytesPerPixel);
        }
      }
    }
    for (std::uint32_t k = 1; k < scale; ++k) {
      std::memcpy(first + static_cast<std::ptrdiff_t>(k) * targetPitch, first, wideBytes);
    }
  }
}

}  // namespace x11
