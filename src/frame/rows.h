// Row conversions from 32-bit ARGB pixels (blue in the low byte) into the
// display's pixel formats. Pure functions: they read `width` source pixels
// and write exactly `width` pixels at `destination`, which needs no alignment.
#pragma once

#include <cstdint>

using RowConverter = void (*)(const std::uint32_t* source, std::uint8_t* destination,
                              std::int32_t width);

// Depth 32: the source values unchanged (bytes B, G, R, A).
void rowTo32(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width);
// Depth 24: the bytes B, G, R; alpha dropped.
void rowTo24(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width);
// Depth 16: little-endian 5:6:5 values, low colour bits dropped.
void rowTo16(const std::uint32_t* source, std::uint8_t* destination, std::int32_t width);

// The converter that blitFrame uses for a depth of 32, 24 or 16.
RowConverter rowConverterFor(std::uint32_t depth);
