// A photograph-like test image for the benchmarks: smooth gradients, grain and a hard-edged disc.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tintora {

// Smooth gradients with grain and hard edges, like a photograph; alpha 255.
inline std::vector<std::uint8_t> PhotoLike(int size) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) * size * 4);
    std::uint32_t state = 99;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double u = static_cast<double>(x) / size;
            const double v = static_cast<double>(y) / size;
            state = state * 1664525u + 1013904223u;
            const int grain = static_cast<int>((state >> 24) % 13) - 6;
            double r = 128 + 100 * std::sin(6.1 * u + 1.3 * v);
            double g = 120 + 90 * std::cos(4.3 * v - 2.2 * u);
            double b = 100 + 80 * std::sin(3.7 * (u + v) + 0.5);
            if ((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4) < 0.04) r = 230, g = 60, b = 40;
            const auto byte = [grain](double value) {
                return static_cast<std::uint8_t>(std::clamp(value + grain, 0.0, 255.0));
            };
            std::uint8_t* px = bytes.data() + (static_cast<std::size_t>(y) * size + x) * 4;
            px[0] = byte(b);
            px[1] = byte(g);
            px[2] = byte(r);
            px[3] = 255;
        }
    }
    return bytes;
}

}  // namespace tintora
