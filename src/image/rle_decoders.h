#pragma once

#include <cstdint>
#include <span>

// Expand run-length compressed data (8 bits per pixel, 4 bits per pixel) into
// `pixels`, rows bottom first at the stride of that depth for `width`.
// Pixels the data never sets stay at colour index 0. The decoders read no
// byte past the end of `data` and write no byte outside `pixels`, whatever the
// data says; a stream that ends early keeps what was decoded so far.
void DecodeRle8(std::span<std::uint8_t> pixels, std::span<const std::uint8_t> data, std::int32_t width,
                std::int32_t height);
void DecodeRle4(std::span<std::uint8_t> pixels, std::span<const std::uint8_t> data, std::int32_t width,
                std::int32_t height);
