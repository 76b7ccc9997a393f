// The fast operations against plain single-threaded versions of the same arithmetic, written out
// here step by step, pixel by pixel, without tables: same bytes on a photograph-like image of an
// odd size (so parallel chunks and progress groups end unevenly) for several settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "effects/channel_maps.h"
#include "effects/contrast_luminosity.h"
#include "effects/hue_saturation.h"
#include "effects_support.h"

namespace tintora::testing {
namespace {

// --- Plain versions -------------------------------------------------------------------------

Bytes PlainContrastLuminosity(const Bytes& in, int contrastSlider, int luminositySlider) {
    const float k = static_cast<float>(std::exp(contrastSlider / 100.0));
    const std::int32_t shift = luminositySlider + 127;
    Bytes out(in.size());
    for (std::size_t p = 0; p < in.size() / 4; ++p) {
        for (int c = 0; c < 3; ++c) {
            const int x = in[4 * p + c] - 127;
            auto y = static_cast<std::int32_t>(std::lrint(x * static_cast<double>(k) + shift));
            if (y < 0) y = 0;
            if (y > 255) y = 255;
            out[4 * p + c] = static_cast<std::uint8_t>(y);
        }
        out[4 * p + 3] = in[4 * p + 3];
    }
    return out;
}

void PlainRgbToHsl(int R, int G, int B, float& H, float& S, float& L) {
    float r, g, b, max, min, d, rc, gc, bc;
    double l0, s0, h6;
    r = static_cast<float>(R * 0.00392156);
    g = static_cast<float>(G * 0.00392156);
    b = static_cast<float>(B * 0.00392156);
    max = r > g ? r : g;
    if (b > max) max = b;
    min = r < g ? r : g;
    if (b < min) min = b;
    l0 = (static_cast<double>(max) + min) * 0.5;
    if (l0 <= 0) {
        H = S = L = 0;
        return;
    }
    d = static_cast<float>(static_cast<double>(max) - min);
    if (d <= 0) {
        S = 0;
        L = static_cast<float>(l0 * 100);
        return;
    }
    if (l0 <= 0.5) {
        s0 = d / (static_cast<double>(max) + min);
    } else {
        s0 = d / (2 - static_cast<double>(max) - min);
    }
    rc = static_cast<float>((static_cast<double>(max) - r) * (1 / static_cast<double>(d)));
    gc = static_cast<float>((static_cast<double>(max) - g) * (1 / static_cast<double>(d)));
    bc = static_cast<float>((static_cast<double>(max) - b) * (1 / static_cast<double>(d)));
    if (std::fabs(static_cast<double>(r) - max) < 0.001f) {
        h6 = g == min ? 5 + static_cast<double>(bc) : 1 - static_cast<double>(gc);
    } else if (std::fabs(static_cast<double>(g) - max) < 0.001f) {
        h6 = b == min ? 1 + static_cast<double>(rc) : 3 - static_cast<double>(bc);
    } else if (std::fabs(static_cast<double>(b) - max) < 0.001f) {
        h6 = r == min ? 3 + static_cast<double>(gc) : 5 - static_cast<double>(rc);
    } else {
        h6 = 0;
    }
    H = static_cast<float>(h6 * 60);
    L = static_cast<float>(l0 * 100);
    S = static_cast<float>(s0 * 100);
}

void PlainHslToRgb(float H, float S, float L, int& red, int& green, int& blue) {
    const double h = H / 360.0;
    const double l = L * 0.01;
    const double s = S * 0.01;
    const float m2 = static_cast<float>(l <= 0.5 ? l * (1 + s) : l + s - l * s);
    if (m2 <= 0) {
        red = green = blue = 0;
        return;
    }
    const float m1 = static_cast<float>(2 * l - m2);
    const float sv = static_cast<float>((static_cast<double>(m2) - m1) / m2);
    const double x = h * 6;
    const int k = static_cast<int>(std::floor(x));
    const double f = static_cast<double>(static_cast<float>(x)) - k;
    const double v = f * (static_cast<double>(m2) * sv);
    const float mid1 = static_cast<float>(m1 + v);
    const float mid2 = static_cast<float>(m2 - v);
    // Red, green and blue by sector k; black for any other k.
    float rv = 0, gv = 0, bv = 0;
    if (k >= 0 && k < 6) {
        const float* const sectors[6][3] = {{&m2, &mid1, &m1}, {&mid2, &m2, &m1},
                                            {&m1, &m2, &mid1}, {&m1, &mid2, &m2},
                                            {&mid1, &m1, &m2}, {&m2, &m1, &mid2}};
        rv = *sectors[k][0];
        gv = *sectors[k][1];
        bv = *sectors[k][2];
    }
    red = static_cast<int>(std::lrint(rv * 255.0));
    green = static_cast<int>(std::lrint(gv * 255.0));
    blue = static_cast<int>(std::lrint(bv * 255.0));
}

Bytes PlainHueSaturation(const Bytes& in, int hueShift, int saturationShift) {
    Bytes out(in.size());
    for (std::size_t p = 0; p < in.size() / 4; ++p) {
        float H = 0, S = 0, L = 0;
        PlainRgbToHsl(in[4 * p + 2], in[4 * p + 1], in[4 * p], H, S, L);
        H = static_cast<float>(H + static_cast<double>(hueShift));
        S = static_cast<float>(S + static_cast<double>(saturationShift));
        if (H < 0) H = static_cast<float>(H + 360.0);
        if (H >= 360) H = static_cast<float>(H - 360.0);
        if (S > 100) S = 100;
        if (S < 0) S = 0;
        int r, g, b;
        PlainHslToRgb(H, S, L, r, g, b);
        const auto cut = [](int v) {
            return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
        };
        out[4 * p] = cut(b);
        out[4 * p + 1] = cut(g);
        out[4 * p + 2] = cut(r);
        out[4 * p + 3] = in[4 * p + 3];
    }
    return out;
}

Bytes PlainInvert(Bytes bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 4 != 3) bytes[i] = static_cast<std::uint8_t>(~bytes[i]);
    }
    return bytes;
}

// Channels are assumed to span at least two values.
Bytes PlainAutoContrast(Bytes bytes) {
    const std::size_t n = bytes.size() / 4;
    int minimum[3] = {255, 255, 255};
    int maximum[3] = {0, 0, 0};
    for (std::size_t p = 0; p < n; ++p) {
        for (int c = 0; c < 3; ++c) {
            if (bytes[4 * p + c] > maximum[c]) maximum[c] = bytes[4 * p + c];
        }
        for (int c = 0; c < 3; ++c) {
            if (bytes[4 * p + c] < minimum[c]) minimum[c] = bytes[4 * p + c];
        }
    }
    std::vector<double> T(769);
    for (int v = 0; v <= 255; ++v) {
        for (int c = 0; c < 3; ++c) {
            T[3 * v + c] = static_cast<double>(v - minimum[c]) /
                           static_cast<double>(maximum[c] - minimum[c]) * 256.0;
        }
    }
    for (int i = 0; i <= 767; ++i) {
        if (T[i] > 255) T[i] = 255;
        if (T[i] < 0) T[i] = 0;
    }
    for (std::size_t p = 0; p < n; ++p) {
        for (int c = 0; c < 3; ++c) {
            const int x = bytes[4 * p + c];
            bytes[4 * p + c] = static_cast<std::uint8_t>(std::lrint(T[3 * x + c]));
        }
    }
    return bytes;
}

// For images of more than 128 pixels, where the search always stops inside the channel.
Bytes PlainEqualize(Bytes bytes) {
    const std::size_t n = bytes.size() / 4;
    std::vector<std::int32_t> H(769, 0), M(772, 0);
    std::vector<std::uint8_t> E(769, 0);
    for (std::size_t p = 0; p < n; ++p) {
        for (int c = 0; c < 3; ++c)
            ++H[256 * c + bytes[4 * p + c]];
    }
    for (int v = 1; v <= 255; ++v) {
        for (int c = 0; c < 3; ++c)
            H[256 * c + v] += H[256 * c + v - 1];
    }
    const float step = static_cast<float>(static_cast<double>(n) / 256);
    for (int c = 0; c < 3; ++c) {
        M[257 * c] = 0;
        M[257 * c + 256] = 256;
        int j = 0;
        for (int k = 1; k <= 255; ++k) {
            const auto t = static_cast<std::int32_t>(std::lrint(step * static_cast<double>(k)));
            while (H[256 * c + j + 1] <= t)
                ++j;
            M[257 * c + k] = t - H[256 * c + j] < H[256 * c + j + 1] - t ? j : j + 1;
        }
    }
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v <= 255; ++v) {
            int r = 0;
            while (!(M[257 * c + r + 1] >= v))
                ++r;
            E[256 * c + v] = static_cast<std::uint8_t>(r);
        }
    }
    for (std::size_t p = 0; p < n; ++p) {
        for (int c = 0; c < 3; ++c)
            bytes[4 * p + c] = E[256 * c + bytes[4 * p + c]];
    }
    return bytes;
}

// --- Comparisons ----------------------------------------------------------------------------

// Index of the first differing byte, or -1.
long FirstDifference(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return static_cast<long>(i);
    }
    return -1;
}

struct Operation {
    std::string name;
    std::function<void(PixelView, PixelView)> fast;
    std::function<Bytes(const Bytes&)> plain;
};

std::vector<Operation> Operations() {
    std::vector<Operation> operations;
    const std::pair<int, int> contrastSettings[] = {{0, 0},   {100, 0},    {-100, 0}, {50, -100},
                                                    {37, 23}, {-73, 88},   {13, -45}, {100, 100},
                                                    {-1, 1},  {-100, -100}};
    for (const auto& [c, l] : contrastSettings) {
        operations.push_back(
            {"contrast " + std::to_string(c) + ", " + std::to_string(l),
             [c, l](PixelView in, PixelView out) {
                 AdjustContrastLuminosity(in, out, ContrastFactor(c), l);
             },
             [c, l](const Bytes& in) { return PlainContrastLuminosity(in, c, l); }});
    }
    const std::pair<int, int> hueSettings[] = {
        {0, 0},     {120, 0},   {-180, 0}, {180, 0}, {0, 50},    {0, -100},  {0, 100}, {45, 30},
        {-97, -35}, {180, 100}, {1, 1},    {-1, -1}, {179, -99}, {-179, 99}, {7, -3}};
    for (const auto& [h, s] : hueSettings) {
        operations.push_back(
            {"hue/saturation " + std::to_string(h) + ", " + std::to_string(s),
             [h, s](PixelView in, PixelView out) { AdjustHueSaturation(in, out, h, s); },
             [h, s](const Bytes& in) { return PlainHueSaturation(in, h, s); }});
    }
    operations.push_back(
        {"invert", [](PixelView in, PixelView out) { InvertColors(in, out); }, PlainInvert});
    operations.push_back({"auto contrast",
                          [](PixelView in, PixelView out) { AutoContrast(in, out); },
                          PlainAutoContrast});
    operations.push_back(
        {"equalize", [](PixelView in, PixelView out) { Equalize(in, out); }, PlainEqualize});
    return operations;
}

// The photograph, a dim, low-contrast version of it (auto contrast stretches a lot and the
// histograms are crowded), and a small one, below the size from which hue/saturation builds its
// table. Each operation apart and in place.
TEST(AgainstPlainVersions, EveryOperationOnPhotographs) {
    Image dim = Photo(257, 193);
    for (std::size_t i = 0; i < dim.bytes.size(); ++i) {
        if (i % 4 != 3) dim.bytes[i] = static_cast<std::uint8_t>(60 + dim.bytes[i] / 5);
    }
    const Image photos[] = {Photo(257, 193), dim, Photo(97, 61)};
    for (const Operation& operation : Operations()) {
        for (const Image& photo : photos) {
            SCOPED_TRACE(::testing::Message() << operation.name << " on " << photo.width);
            const Bytes plain = operation.plain(photo.bytes);
            Image in = photo;
            Image out(photo.width, photo.height);
            operation.fast(in.view(), out.view());
            EXPECT_EQ(FirstDifference(out.bytes, plain), -1);
            operation.fast(in.view(), in.view());
            EXPECT_EQ(FirstDifference(in.bytes, plain), -1) << "in place";
        }
    }
}

TEST(AgainstPlainVersions, HueSaturationOverEveryColour) {
    // Every byte triple once. Without a shift every colour comes back; the other setting is
    // chosen so that rounding lands near halves and the hue wraps in both directions.
    Image cube(4096, 4096);
    for (std::size_t p = 0; p < cube.bytes.size() / 4; ++p) {
        cube.setRgb(p,
                    {static_cast<int>(p >> 16) & 0xFF, static_cast<int>(p >> 8) & 0xFF,
                     static_cast<int>(p) & 0xFF},
                    0x5A);
    }
    for (const auto& [hue, saturation] : {std::pair{0, 0}, std::pair{-131, 37}}) {
        Image out(cube.width, cube.height);
        AdjustHueSaturation(cube.view(), out.view(), hue, saturation);
        const Bytes expected =
            hue == 0 ? cube.bytes : PlainHueSaturation(cube.bytes, hue, saturation);
        const long at = FirstDifference(out.bytes, expected);
        EXPECT_EQ(at, -1) << hue << ", " << saturation << " at colour " << at / 4;
    }
}

TEST(AgainstPlainVersions, ConversionsOnTheirOwn) {
    // RgbToHsl and HslToRgb themselves against the plain versions, colour by colour, on a
    // stride through the cube.
    for (int r = 0; r < 256; r += 3) {
        for (int g = 0; g < 256; g += 5) {
            for (int b = 0; b < 256; b += 7) {
                float H1 = 0, S1 = 0, L1 = 0, H2 = 0, S2 = 0, L2 = 0;
                RgbToHsl(r, g, b, H1, S1, L1);
                PlainRgbToHsl(r, g, b, H2, S2, L2);
                ASSERT_EQ(H1, H2);
                ASSERT_EQ(S1, S2);
                ASSERT_EQ(L1, L2);
                std::int32_t r1, g1, b1;
                int r2, g2, b2;
                const float H = std::fmod(H1 + 97.0f, 360.0f);
                HslToRgb(H, S1 * 0.7f, L1, r1, g1, b1);
                PlainHslToRgb(H, S1 * 0.7f, L1, r2, g2, b2);
                ASSERT_EQ(r1, r2);
                ASSERT_EQ(g1, g2);
                ASSERT_EQ(b1, b2);
            }
        }
    }
}

}  // namespace
}  // namespace tintora::testing
