// The fast kernels against plain single-threaded versions of the same arithmetic, written out
// step by step, pixel by pixel, without tables: same bytes on photograph-like images of odd sizes
// (parallel chunks and progress groups end unevenly) for several settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "effects_support.h"

namespace tintora::testing {
namespace {

constexpr auto D = [](double v) { return v; };
constexpr auto F = [](double v) { return static_cast<float>(v); };

// bytes with every colour byte i (not alpha) replaced by fn(i % 4, its value).
Bytes MapColourBytes(Bytes bytes, const std::function<double(int, int)>& fn) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 4 != 3) bytes[i] = static_cast<std::uint8_t>(fn(static_cast<int>(i % 4), bytes[i]));
    }
    return bytes;
}

Bytes PlainContrastLuminosity(const Bytes& in, int contrastSlider, int luminositySlider) {
    const float k = F(std::exp(contrastSlider / 100.0));
    return MapColourBytes(in, [&](int, int x) {
        return std::clamp(std::lrint((x - 127) * D(k) + (luminositySlider + 127)), 0L, 255L);
    });
}

void PlainRgbToHsl(int R, int G, int B, float& H, float& S, float& L) {
    const float r = F(R * 0.00392156), g = F(G * 0.00392156), b = F(B * 0.00392156);
    const float max = std::max({r, g, b}), min = std::min({r, g, b});
    const double l0 = (D(max) + min) * 0.5;
    if (l0 <= 0) {
        H = S = L = 0;
        return;
    }
    L = F(l0 * 100);
    const float d = F(D(max) - min);
    if (d <= 0) {
        S = 0;
        return;
    }
    S = F((l0 <= 0.5 ? d / (D(max) + min) : d / (2 - D(max) - min)) * 100);
    const float rc = F((D(max) - r) * (1 / D(d)));
    const float gc = F((D(max) - g) * (1 / D(d)));
    const float bc = F((D(max) - b) * (1 / D(d)));
    double h6 = 0;
    if (std::fabs(D(r) - max) < 0.001f) {
        h6 = g == min ? 5 + D(bc) : 1 - D(gc);
    } else if (std::fabs(D(g) - max) < 0.001f) {
        h6 = b == min ? 1 + D(rc) : 3 - D(bc);
    } else if (std::fabs(D(b) - max) < 0.001f) {
        h6 = r == min ? 3 + D(gc) : 5 - D(rc);
    }
    H = F(h6 * 60);
}

// Red, green, blue.
std::vector<int> PlainHslToRgb(float H, float S, float L) {
    const double h = H / 360.0, l = L * 0.01, s = S * 0.01;
    const float m2 = F(l <= 0.5 ? l * (1 + s) : l + s - l * s);
    if (m2 <= 0) return {0, 0, 0};
    const float m1 = F(2 * l - m2);
    const float sv = F((D(m2) - m1) / m2);
    const double x = h * 6;
    const int k = static_cast<int>(std::floor(x));
    const double v = (D(F(x)) - k) * (D(m2) * sv);
    const float mid1 = F(m1 + v), mid2 = F(m2 - v);
    // By sector k; black for any other k.
    const float sectors[7][3] = {{m2, mid1, m1}, {mid2, m2, m1}, {m1, m2, mid1}, {m1, mid2, m2},
                                 {mid1, m1, m2}, {m2, m1, mid2}, {0, 0, 0}};
    std::vector<int> rgb;
    for (const float value : sectors[k >= 0 && k < 6 ? k : 6])
        rgb.push_back(static_cast<int>(std::lrint(value * 255.0)));
    return rgb;
}

Bytes PlainHueSaturation(const Bytes& in, int hueShift, int saturationShift) {
    Bytes out = in;
    for (std::size_t p = 0; p < in.size() / 4; ++p) {
        float H = 0, S = 0, L = 0;
        PlainRgbToHsl(in[4 * p + 2], in[4 * p + 1], in[4 * p], H, S, L);
        H = F(H + D(hueShift));
        S = F(S + D(saturationShift));
        if (H < 0) H = F(H + 360.0);
        if (H >= 360) H = F(H - 360.0);
        S = std::clamp(S, 0.0f, 100.0f);
        const std::vector<int> rgb = PlainHslToRgb(H, S, L);
        for (int c = 0; c < 3; ++c)
            out[4 * p + 2 - c] = static_cast<std::uint8_t>(std::clamp(rgb[c], 0, 255));
    }
    return out;
}

// Channels are assumed to span at least two values.
Bytes PlainAutoContrast(const Bytes& bytes) {
    int minimum[3] = {255, 255, 255}, maximum[3] = {0, 0, 0};
    MapColourBytes(bytes, [&](int c, int x) {
        maximum[c] = std::max(maximum[c], x);
        minimum[c] = std::min(minimum[c], x);
        return x;
    });
    std::vector<double> T(769);
    for (int v = 0; v <= 255; ++v) {
        for (int c = 0; c < 3; ++c) {
            T[3 * v + c] =
                std::clamp(D(v - minimum[c]) / D(maximum[c] - minimum[c]) * 256.0, 0.0, 255.0);
        }
    }
    return MapColourBytes(bytes, [&](int c, int x) { return std::lrint(T[3 * x + c]); });
}

// For images of more than 128 pixels, where the search always stops inside the channel.
Bytes PlainEqualize(const Bytes& bytes) {
    std::vector<std::int32_t> H(769, 0), M(772, 0);
    std::vector<std::uint8_t> E(769, 0);
    MapColourBytes(bytes, [&](int c, int x) {
        ++H[256 * c + x];
        return x;
    });
    for (int v = 1; v <= 255; ++v) {
        for (int c = 0; c < 3; ++c)
            H[256 * c + v] += H[256 * c + v - 1];
    }
    const float step = F(D(bytes.size() / 4) / 256);
    for (int c = 0; c < 3; ++c) {
        M[257 * c + 256] = 256;
        int j = 0;
        for (int k = 1; k <= 255; ++k) {
            const auto t = static_cast<std::int32_t>(std::lrint(step * D(k)));
            while (H[256 * c + j + 1] <= t)
                ++j;
            M[257 * c + k] = t - H[256 * c + j] < H[256 * c + j + 1] - t ? j : j + 1;
        }
        for (int v = 0; v <= 255; ++v) {
            int r = 0;
            while (!(M[257 * c + r + 1] >= v))
                ++r;
            E[256 * c + v] = static_cast<std::uint8_t>(r);
        }
    }
    return MapColourBytes(bytes, [&](int c, int x) { return E[256 * c + x]; });
}

// Index of the first differing byte, or -1.
long FirstDifference(const Bytes& a, const Bytes& b) {
    const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first;
    return at == a.end() && a.size() == b.size() ? -1 : at - a.begin();
}

// The photograph; a dim, low-contrast version of it (auto contrast stretches a lot, the
// histograms are crowded) with each channel's extremes in its last pixel; and a small one, below
// the size from which hue/saturation builds its table. fast apart and in place.
void ExpectSameAsPlain(const Kernel& fast, const std::function<Bytes(const Bytes&)>& plain) {
    static const std::vector<Image> photos = [] {
        Image dim = Photo(257, 193);
        dim.bytes = MapColourBytes(dim.bytes, [](int, int x) { return 60 + x / 5; });
        dim.setRgb(257 * 193 - 1, {255, 0, 255}, 0);
        return std::vector<Image>{Photo(257, 193), dim, Photo(97, 61)};
    }();
    for (const Image& photo : photos) {
        const Bytes expected = plain(photo.bytes);
        Image in = photo;
        Image out(photo.width, photo.height);
        fast(in.view(), out.view());
        EXPECT_EQ(FirstDifference(out.bytes, expected), -1) << photo.width;
        fast(in.view(), in.view());
        EXPECT_EQ(FirstDifference(in.bytes, expected), -1) << photo.width << " in place";
    }
}

TEST(AgainstPlainVersions, EveryOperationOnPhotographs) {
    ExpectSameAsPlain(kInverted, [](const Bytes& in) {
        return MapColourBytes(in, [](int, int x) { return 255 - x; });
    });
    ExpectSameAsPlain(kAutoContrasted, PlainAutoContrast);
    ExpectSameAsPlain(kEqualized, PlainEqualize);
    const std::pair<int, int> contrasts[] = {{0, 0},   {100, 0},    {-100, 0}, {50, -100},
                                             {37, 23}, {-73, 88},   {13, -45}, {100, 100},
                                             {-1, 1},  {-100, -100}};
    for (const auto& [c, l] : contrasts) {
        SCOPED_TRACE(::testing::Message() << "contrast " << c << ", " << l);
        ExpectSameAsPlain(Contrasted(c, l),
                          [c, l](const Bytes& in) { return PlainContrastLuminosity(in, c, l); });
    }
    const std::pair<int, int> hues[] = {{0, 0},    {120, 0}, {-180, 0},  {180, 0},   {0, 50},
                                        {0, -100}, {0, 100}, {45, 30},   {-97, -35}, {180, 100},
                                        {1, 1},    {-1, -1}, {179, -99}, {-179, 99}, {7, -3}};
    for (const auto& [h, s] : hues) {
        SCOPED_TRACE(::testing::Message() << "hue/saturation " << h << ", " << s);
        ExpectSameAsPlain(HueSaturated(h, s),
                          [h, s](const Bytes& in) { return PlainHueSaturation(in, h, s); });
    }
}

TEST(AgainstPlainVersions, HueSaturationOverEveryColour) {
    // Every byte triple once. Without a shift every colour comes back; the other setting is
    // chosen so that rounding lands near halves and the hue wraps in both directions.
    Image cube(4096, 4096);
    for (int rgb = 0; rgb < 1 << 24; ++rgb)
        cube.setRgb(rgb, {rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF}, 0x5A);
    // Both widths of the floating-point steps: AVX2 (where the processor has it) and SSE2.
    for (const auto& [hue, saturation] : {std::pair{0, 0}, {-131, 37}}) {
        const Bytes expected =
            hue == 0 ? cube.bytes : PlainHueSaturation(cube.bytes, hue, saturation);
        for (const bool baseline : {false, true}) {
            effects_detail::UseBaselineHuePass(baseline);
            Image out(cube.width, cube.height);
            AdjustHueSaturation(cube.view(), out.view(), hue, saturation);
            const long at = FirstDifference(out.bytes, expected);
            EXPECT_EQ(at, -1) << hue << ", " << saturation << (baseline ? " SSE2" : "")
                              << " at colour " << at / 4;
        }
    }
    effects_detail::UseBaselineHuePass(false);
}

}  // namespace
}  // namespace tintora::testing
