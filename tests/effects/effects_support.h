// Images for the effect tests: rows of listed colours, the photograph-like picture as B G R A
// bytes, and a kernel's result on a copy of some bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/pixel_buffer.h"
#include "support/synthetic_photo.h"

namespace tintora::testing {

using Bytes = std::vector<std::uint8_t>;

// A colour as red, green, blue (the order the worked examples use).
struct Rgb {
    int r;
    int g;
    int b;
    bool operator==(const Rgb&) const = default;
};

// An image held as plain bytes (B G R A, pitch 4 x width), with a view for the kernels.
struct Image {
    int width = 0;
    int height = 0;
    Bytes bytes;

    Image(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4) {}

    PixelView view() { return {bytes.data(), width, height}; }
    Rgb rgb(std::size_t p) const { return {bytes[4 * p + 2], bytes[4 * p + 1], bytes[4 * p]}; }
    void setRgb(std::size_t p, Rgb c, std::uint8_t alpha) {
        bytes[4 * p] = static_cast<std::uint8_t>(c.b);
        bytes[4 * p + 1] = static_cast<std::uint8_t>(c.g);
        bytes[4 * p + 2] = static_cast<std::uint8_t>(c.r);
        bytes[4 * p + 3] = alpha;
    }
};

// One pixel per colour, in a row; alpha differs from pixel to pixel.
inline Image RowOf(const std::vector<Rgb>& colours) {
    Image image(static_cast<int>(colours.size()), 1);
    for (std::size_t p = 0; p < colours.size(); ++p)
        image.setRgb(p, colours[p], static_cast<std::uint8_t>(17 + 29 * p));
    return image;
}

// The photograph-like picture (support/synthetic_photo.h) with alpha falling from top to bottom.
inline Image Photo(int width, int height) {
    Image image(width, height);
    const std::vector<std::uint32_t> argb = SyntheticPhoto(width, height, true);
    std::memcpy(image.bytes.data(), argb.data(), image.bytes.size());  // little-endian: B G R A
    return image;
}

// What kernel(in, out) makes of width x height bytes.
template <typename Kernel>
Bytes Applied(Bytes bytes, int width, int height, const Kernel& kernel) {
    Image in(width, height);
    in.bytes = std::move(bytes);
    Image out(width, height);
    kernel(in.view(), out.view());
    return out.bytes;
}

}  // namespace tintora::testing
