// Images and kernels for the effect tests: B G R A bytes with a view for the kernels.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "base/pixel_buffer.h"
#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"
#include "support/synthetic_photo.h"

namespace tintora::testing {

using Bytes = std::vector<std::uint8_t>;
using Rgb = std::array<int, 3>;  // red, green, blue

// width x height pixels, pitch 4 x width.
struct Image {
    int width = 0;
    int height = 0;
    Bytes bytes;

    Image(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4) {}
    PixelView view() { return {bytes.data(), width, height}; }
    Rgb rgb(std::size_t p) const { return {bytes[4 * p + 2], bytes[4 * p + 1], bytes[4 * p]}; }
    void setRgb(std::size_t p, Rgb c, std::uint8_t alpha) {
        for (int i = 0; i < 3; ++i)
            bytes[4 * p + i] = static_cast<std::uint8_t>(c[2 - i]);
        bytes[4 * p + 3] = alpha;
    }
};

// The photograph-like picture (support/synthetic_photo.h), alpha falling from top to bottom.
inline Image Photo(int width, int height) {
    Image image(width, height);
    const std::vector<std::uint32_t> argb = SyntheticPhoto(width, height, true);
    std::memcpy(image.bytes.data(), argb.data(), image.bytes.size());  // little-endian: B G R A
    return image;
}

// The kernels, each as kernel(in, out).
using Kernel = std::function<void(PixelView, PixelView)>;
inline Kernel Contrasted(int contrastSlider, int luminosity) {
    return [=](PixelView in, PixelView out) {
        AdjustContrastLuminosity(in, out, ContrastFactor(contrastSlider), luminosity);
    };
}
inline Kernel HueSaturated(int hue, int saturation) {
    return [=](PixelView in, PixelView out) { AdjustHueSaturation(in, out, hue, saturation); };
}
inline const Kernel kInverted = [](PixelView in, PixelView out) { InvertColors(in, out); };
inline const Kernel kAutoContrasted = [](PixelView in, PixelView out) { AutoContrast(in, out); };
inline const Kernel kEqualized = [](PixelView in, PixelView out) { Equalize(in, out); };

// What kernel makes of width x height bytes.
inline Bytes Applied(Bytes bytes, int width, int height, const Kernel& kernel) {
    Bytes out(bytes.size());
    kernel({bytes.data(), width, height}, {out.data(), width, height});
    return out;
}

}  // namespace tintora::testing
