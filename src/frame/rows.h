// Row conversions from 32-bit ARGB pixels (blue in the low byte) into the
// display's pixel formats. Pure functions: they read `width` source pixels
// and write exactly `width` pixels at `destination`, which needs no alignment.
//
// The scalar rows below are the portable reference. On x86 the same
// conversions also come in vector variants (rows_x86.cpp) whose output is
// byte-identical; rowConverterFor picks the best one the processor runs.
#pragma once

#include <cstddef>
#include <cstdint>

using RowConverter = void (*)(const std::uint32_t* source, std::uint8_t* destination,
                              std::int32_t width);

// Depth 32: the source values unchanged (bytes B, G, R, A).
void rowTo32(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width);
// Depth 24: the bytes B, G, R; alpha dropped.
void rowTo24(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width);
// Depth 16: little-endian 5:6:5 values, low colour bits dropped.
void rowTo16(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width);

// The implementations of the 24 and 16 bpp rows. Depth 32 is a memcpy in
// every variant. The AVX-512 variants need AVX-512 F, BW and VL; the VBMI
// one also needs VBMI, whose byte permutation packs the 24 bpp rows (at
// 16 bpp it has nothing to add and uses the BW row).
enum class RowVariant { Scalar, Sse2, Ssse3, Avx2, Avx512Bw, Avx512Vbmi };

// The variant's name, as tests and benchmarks print it.
const char* rowVariantName(RowVariant variant);

// Whether this build and this processor (and its operating system, for the
// AVX registers) can run a variant. Scalar is always supported.
bool rowVariantSupported(RowVariant variant);

// The converter of one variant for a depth of 32, 24 or 16 (any other depth
// is treated as 16, as in rowConverterFor); null if the variant is not
// supported here.
RowConverter rowConverter(std::uint32_t depth, RowVariant variant);

// The converter that blitFrame uses for a depth of 32, 24 or 16: the best
// supported variant, chosen once from the processor's features.
RowConverter rowConverterFor(std::uint32_t depth);

// Streaming rows: the same bytes as the converter of the same depth, but
// whole 64-byte lines of the destination row, aligned to 64 bytes, are
// written with non-temporal stores, which go to memory without first
// reading the line into the caches: at 32 and 16 bpp every such line, at
// 24 bpp those of the 64-pixel blocks that follow the first pixel starting
// on a line boundary. The other bytes are stored as usual. After the last streamed row
// of a frame, and before anyone else may read the destination,
// endStreamedRows must be called.
//
// The streaming converter of a variant for a depth of 32, 24 or 16; null
// when the variant has none at that depth or is not supported here.
RowConverter streamingRowConverter(std::uint32_t depth, RowVariant variant);

// The streaming converter that blitFrame uses for a depth, from the same
// variant as rowConverterFor; null if that variant has none.
RowConverter streamingRowConverterFor(std::uint32_t depth);

// Orders the streamed stores before every later store (a store fence).
void endStreamedRows();

// Frames whose source and destination bytes together exceed this are
// written with the streaming rows: they cannot all stay in the processor
// core's own cache, and writing through it then costs more than it saves.
// Read once from the processor's cache description.
std::size_t streamingThresholdBytes();

// The vector converters, defined in rows_x86.cpp: the converter of a vector
// variant for depth 24 or 16, or null when this build has none (non-x86
// targets). It does not check the processor; rowConverter does.
RowConverter vectorRowConverter(std::uint32_t depth, RowVariant variant);
// The same for the streaming converters, depth 32 included.
RowConverter vectorStreamingRowConverter(std::uint32_t depth, RowVariant variant);
