// A photograph-like test image: smooth gradients, soft shading, hard-edged shapes and grain.
// Deterministic (no global random state), so codec quality figures can be compared between runs.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tintora::testing {

// width x height A8R8G8B8 pixels, rows top to bottom. With withAlpha the alpha falls smoothly
// from 255 at the top to 0 at the bottom; otherwise it is 255 everywhere.
inline std::vector<std::uint32_t> SyntheticPhoto(int width, int height, bool withAlpha = false,
                                                 std::uint32_t seed = 12345) {
    std::vector<std::uint32_t> pixels;
    std::uint32_t state = seed == 0 ? 1 : seed;
    const auto clamp = [](double v) {
        return static_cast<std::uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5);
    };
    for (int y = 0; y < height; ++y) {
        const double v = (y + 0.5) / height;
        for (int x = 0; x < width; ++x) {
            const double u = (x + 0.5) / width;
            const double dx = u - 0.35, dy = v - 0.55;
            // A sky-like gradient with soft shading, then a hard-edged disc and bar over it.
            std::array<double, 3> rgb = {60 + 150 * u + 30 * std::sin(6.0 * v + 2.0 * u),
                                         90 + 120 * v + 25 * std::cos(5.0 * u * v * 3.0),
                                         180 - 100 * v + 40 * std::sin(9.0 * u)};
            if (dx * dx + dy * dy < 0.04) rgb = {220 - 60 * v, 40 + 30 * u, 30};
            if (u > 0.6 && u < 0.68 && v > 0.1) rgb = {20, 25 + 80 * v, 35};
            // A fine "fabric" texture and grain (xorshift32, -8..7).
            const double fabric = 12 * std::sin(u * width * 0.9) * std::sin(v * height * 0.7);
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int n = static_cast<int>(state & 15) - 8;
            pixels.push_back((withAlpha ? clamp(255.0 * (1.0 - v)) : 255u) << 24 |
                             clamp(rgb[0] + fabric + n) << 16 | clamp(rgb[1] + fabric + n) << 8 |
                             clamp(rgb[2] + fabric + n));
        }
    }
    return pixels;
}

// Peak signal-to-noise ratio over the red, green and blue channels, in dB (infinity if equal).
inline double RgbPsnr(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            const double d = static_cast<double>((a[i] >> shift) & 0xFF) -
                             static_cast<double>((b[i] >> shift) & 0xFF);
            sum += d * d;
        }
    }
    const double mse = sum / (3.0 * static_cast<double>(a.size()));
    return mse == 0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace tintora::testing
