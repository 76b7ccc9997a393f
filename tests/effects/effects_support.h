// Images for the effect tests: small ones built from listed pixels, and a photograph-like one
// with smooth gradients, noise, hard edges, greys, black and white.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/pixel_buffer.h"

namespace tintora::testing {

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
    std::vector<std::uint8_t> bytes;

    Image() = default;
    Image(int w, int h) : width(w), height(h), bytes(static_cast<std::size_t>(w) * h * 4) {}

    PixelView view() { return {bytes.data(), width, height}; }
    std::size_t pixelCount() const { return bytes.size() / 4; }
    std::uint8_t* pixel(std::size_t p) { return bytes.data() + 4 * p; }
    const std::uint8_t* pixel(std::size_t p) const { return bytes.data() + 4 * p; }
    Rgb rgb(std::size_t p) const { return {pixel(p)[2], pixel(p)[1], pixel(p)[0]}; }
    void setRgb(std::size_t p, Rgb c, std::uint8_t alpha) {
        std::uint8_t* px = pixel(p);
        px[0] = static_cast<std::uint8_t>(c.b);
        px[1] = static_cast<std::uint8_t>(c.g);
        px[2] = static_cast<std::uint8_t>(c.r);
        px[3] = alpha;
    }
};

// One pixel per colour, in a row; alpha differs from pixel to pixel.
inline Image RowOf(const std::vector<Rgb>& colours) {
    Image image(static_cast<int>(colours.size()), 1);
    for (std::size_t p = 0; p < colours.size(); ++p) {
        image.setRgb(p, colours[p], static_cast<std::uint8_t>(17 + 29 * p));
    }
    return image;
}

// The alpha bytes, in pixel order.
inline std::vector<std::uint8_t> Alphas(const Image& image) {
    std::vector<std::uint8_t> alphas;
    for (std::size_t p = 0; p < image.pixelCount(); ++p)
        alphas.push_back(image.pixel(p)[3]);
    return alphas;
}

// A deterministic stand-in for a photograph: smooth colour gradients with grain, a hard-edged
// disc and bars, grey steps, saturated patches, and black and white corners. Alpha varies too.
inline Image PhotoLike(int width, int height, std::uint32_t seed = 12345) {
    Image image(width, height);
    std::uint32_t state = seed;
    const auto noise = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) % 17) - 8;
    };
    const auto clampByte = [](double v) {
        return static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double v = static_cast<double>(y) / height;
            double r = 128 + 110 * std::sin(6.1 * u + 1.3 * v);
            double g = 120 + 100 * std::cos(4.3 * v - 2.2 * u);
            double b = 100 + 90 * std::sin(3.7 * (u + v) + 0.5);
            const double dx = u - 0.62;
            const double dy = v - 0.41;
            if (dx * dx + dy * dy < 0.04) {  // a disc with a hard edge
                r = 230, g = 60 + 80 * u, b = 40;
            }
            if (x % 61 < 4) {  // dark bars
                r *= 0.2, g *= 0.2, b *= 0.25;
            }
            std::uint8_t* px = image.pixel(static_cast<std::size_t>(y) * width + x);
            if (y < height / 8 && x < width / 3) {  // grey steps, no grain
                const auto grey = static_cast<std::uint8_t>((x * 256) / (width / 3));
                px[0] = px[1] = px[2] = grey;
            } else if (y >= height - height / 10 && x < width / 4) {  // saturated patches
                const int patch = (x / 8) % 6;
                const std::array<Rgb, 6> colours{{{255, 0, 0},
                                                  {0, 255, 0},
                                                  {0, 0, 255},
                                                  {255, 255, 0},
                                                  {0, 255, 255},
                                                  {255, 0, 255}}};
                image.setRgb(static_cast<std::size_t>(y) * width + x, colours[patch], 255);
            } else {
                px[0] = clampByte(b + noise());
                px[1] = clampByte(g + noise());
                px[2] = clampByte(r + noise());
            }
            if (x >= width - 6 && y < 6) px[0] = px[1] = px[2] = 0;              // black
            if (x >= width - 6 && y >= height - 6) px[0] = px[1] = px[2] = 255;  // white
            px[3] = static_cast<std::uint8_t>((x * 7 + y * 3) & 0xFF);
        }
    }
    return image;
}

}  // namespace tintora::testing
