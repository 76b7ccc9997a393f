#include "effects/hue_saturation.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include "effects/rounding.h"
#include "effects/view_checks.h"

namespace tintora {

namespace {

using effects_detail::RoundToInt32;

// A component within this distance of the maximum counts as the maximum (single precision).
constexpr float kMaximumTolerance = 0.001f;

std::uint8_t ClampToByte(std::int32_t value) {
    return static_cast<std::uint8_t>(std::clamp<std::int32_t>(value, 0, 255));
}

// The component fraction of each byte value, byte x 0.00392156 in single precision.
const std::array<float, 256>& UnitTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t;
        for (int v = 0; v < 256; ++v)
            t[v] = static_cast<float>(v * kByteToUnit);
        return t;
    }();
    return table;
}

double D(float value) {
    return static_cast<double>(value);
}

}  // namespace

void RgbToHsl(std::int32_t red, std::int32_t green, std::int32_t blue, float& H, float& S,
              float& L) {
    const auto r = static_cast<float>(red * kByteToUnit);
    const auto g = static_cast<float>(green * kByteToUnit);
    const auto b = static_cast<float>(blue * kByteToUnit);

    float max = r > g ? r : g;
    if (b > max) max = b;
    float min = r < g ? r : g;
    if (b < min) min = b;

    const double l0 = (D(max) + D(min)) * 0.5;
    if (l0 <= 0) {
        H = 0;
        S = 0;
        L = 0;
        return;
    }
    const auto d = static_cast<float>(D(max) - D(min));
    if (d <= 0) {
        S = 0;
        L = static_cast<float>(l0 * 100);
        return;
    }
    const double s0 = l0 <= 0.5 ? D(d) / (D(max) + D(min)) : D(d) / (2.0 - D(max) - D(min));

    const double inverse = 1.0 / D(d);
    const auto rc = static_cast<float>((D(max) - D(r)) * inverse);
    const auto gc = static_cast<float>((D(max) - D(g)) * inverse);
    const auto bc = static_cast<float>((D(max) - D(b)) * inverse);

    const double tolerance = D(kMaximumTolerance);
    double h6 = 0;
    if (std::fabs(D(r) - D(max)) < tolerance) {
        h6 = g == min ? 5.0 + D(bc) : 1.0 - D(gc);
    } else if (std::fabs(D(g) - D(max)) < tolerance) {
        h6 = b == min ? 1.0 + D(rc) : 3.0 - D(bc);
    } else if (std::fabs(D(b) - D(max)) < tolerance) {
        h6 = r == min ? 3.0 + D(gc) : 5.0 - D(rc);
    }
    H = static_cast<float>(h6 * 60);
    L = static_cast<float>(l0 * 100);
    S = static_cast<float>(s0 * 100);
}

void HslToRgb(float H, float S, float L, std::int32_t& red, std::int32_t& green,
              std::int32_t& blue) {
    const double h = D(H) / 360;
    const double l = D(L) * 0.01;
    const double s = D(S) * 0.01;
    const auto m2 = static_cast<float>(l <= 0.5 ? l * (1 + s) : l + s - l * s);
    red = green = blue = 0;
    if (m2 <= 0) return;
    const auto m1 = static_cast<float>(2 * l - D(m2));
    const auto sv = static_cast<float>((D(m2) - D(m1)) / D(m2));

    const double x = h * 6;
    const double k = std::floor(x);
    const double f = D(static_cast<float>(x)) - k;
    const double v = f * (D(m2) * D(sv));
    const auto mid1 = static_cast<float>(D(m1) + v);
    const auto mid2 = static_cast<float>(D(m2) - v);

    float rv = 0;
    float gv = 0;
    float bv = 0;
    // k outside 0 to 5 (a hue outside 0 to 360) leaves black.
    if (k == 0) {
        rv = m2, gv = mid1, bv = m1;
    } else if (k == 1) {
        rv = mid2, gv = m2, bv = m1;
    } else if (k == 2) {
        rv = m1, gv = m2, bv = mid1;
    } else if (k == 3) {
        rv = m1, gv = mid2, bv = m2;
    } else if (k == 4) {
        rv = mid1, gv = m1, bv = m2;
    } else if (k == 5) {
        rv = m2, gv = m1, bv = mid2;
    }
    red = RoundToInt32(D(rv) * 255);
    green = RoundToInt32(D(gv) * 255);
    blue = RoundToInt32(D(bv) * 255);
}

namespace {

// Everything of one pixel's adjustment that depends only on its largest byte M and smallest byte
// m (and on the saturation shift): the lightness and the shifted, cut saturation decide the two
// anchors of the way back, and the spread M - m scales the hue offsets.
struct PairTerms {
    double anchorSpan = 0;   // m2 x sv, exact in double precision
    double inverseSpan = 0;  // 1 / (max - min), the spread stored in single precision
    float m1 = 0;
    float m2 = 0;
    std::uint8_t m1Byte = 0;  // m1 x 255 rounded and cut to a byte
    std::uint8_t m2Byte = 0;
    // When m2 <= 0 the way back gives black whatever the hue; then every term is 0, which gives
    // black as well.
};

std::size_t PairIndex(unsigned maxByte, unsigned minByte) {
    return maxByte * (maxByte + 1) / 2 + minByte;
}

constexpr std::size_t kPairCount = 256 * 257 / 2;

PairTerms MakePairTerms(unsigned maxByte, unsigned minByte, std::int32_t saturationShift) {
    const std::array<float, 256>& unit = UnitTable();
    const float max = unit[maxByte];
    const float min = unit[minByte];
    PairTerms terms;

    // The way there, without the hue (RgbToHsl).
    float S = 0;
    float L = 0;
    const double l0 = (D(max) + D(min)) * 0.5;
    if (l0 > 0) {
        const auto d = static_cast<float>(D(max) - D(min));
        L = static_cast<float>(l0 * 100);
        if (d > 0) {
            const double s0 = l0 <= 0.5 ? D(d) / (D(max) + D(min)) : D(d) / (2.0 - D(max) - D(min));
            S = static_cast<float>(s0 * 100);
            terms.inverseSpan = 1.0 / D(d);
        }
    }

    // The saturation shift.
    S = static_cast<float>(D(S) + saturationShift);
    if (S > 100) S = 100;
    if (S < 0) S = 0;

    // The way back up to the hue (HslToRgb).
    const double l = D(L) * 0.01;
    const double s = D(S) * 0.01;
    const auto m2 = static_cast<float>(l <= 0.5 ? l * (1 + s) : l + s - l * s);
    if (m2 <= 0) return terms;
    terms.m2 = m2;
    terms.m1 = static_cast<float>(2 * l - D(terms.m2));
    const auto sv = static_cast<float>((D(terms.m2) - D(terms.m1)) / D(terms.m2));
    terms.anchorSpan = D(terms.m2) * D(sv);
    terms.m1Byte = ClampToByte(RoundToInt32(D(terms.m1) * 255));
    terms.m2Byte = ClampToByte(RoundToInt32(D(terms.m2) * 255));
    return terms;
}

std::vector<PairTerms> MakePairTable(std::int32_t saturationShift) {
    std::vector<PairTerms> pairs(kPairCount);
    tbb::parallel_for(tbb::blocked_range<unsigned>(0, 256, 16),
                      [&](const tbb::blocked_range<unsigned>& range) {
                          for (unsigned M = range.begin(); M < range.end(); ++M) {
                              for (unsigned m = 0; m <= M; ++m) {
                                  pairs[PairIndex(M, m)] = MakePairTerms(M, m, saturationShift);
                              }
                          }
                      });
    return pairs;
}

// How the hue of a colour follows from which byte is the largest and whether the next one round
// (red, green, blue, red) is the smallest: the sixth of the circle to start from and the sign of
// the in-between byte's offset within it. The seventh row is for greys (and black): hue 0.
// (Rounding is symmetric, so the sign can go on the offset's numerator before it is rounded.)
struct HueSector {
    double base;
    double offsetSign;
};
constexpr HueSector kHueSectors[7] = {
    {1, -1}, {5, 1},  // red largest: 1 - gc, or 5 + bc when green is the smallest
    {3, -1}, {1, 1},  // green largest: 3 - bc, or 1 + rc when blue is the smallest
    {5, -1}, {3, 1},  // blue largest: 5 - rc, or 3 + gc when red is the smallest
    {0, 0},           // grey
};
constexpr unsigned kGreySector = 6;

// Where m2, the in-between value and m1 go in each sixth of the way back: bit shifts into the
// 32-bit pixel (blue 0, green 8, red 16). The seventh row is for black: everything shifted out.
struct SectorPlaces {
    std::uint8_t high;
    std::uint8_t middle;
    std::uint8_t low;
};
constexpr SectorPlaces kSectorPlaces[7] = {
    {16, 8, 0},    // red m2, green mid1, blue m1
    {8, 16, 0},    // red mid2, green m2, blue m1
    {8, 0, 16},    // red m1, green m2, blue mid1
    {0, 8, 16},    // red m1, green mid2, blue m2
    {0, 16, 8},    // red mid1, green m1, blue m2
    {16, 0, 8},    // red m2, green m1, blue mid2
    {32, 32, 32},  // black
};
constexpr std::uint32_t kBlackSixth = 6;

// Pixels go through in batches, in three passes: the byte work and the table lookups, then the
// floating-point steps, then the packing. The floating-point pass has no branches and no
// lookups and runs two pixels per instruction; the passes' iterations are short and independent,
// so the processor overlaps them instead of each pixel waiting on its own long chain of dependent
// steps (this halves the time against one pixel after the other).
constexpr std::size_t kBatch = 64;

struct Batch {
    // Inputs of the floating-point pass.
    alignas(64) double offsetNumerator[kBatch];  // +-(max - the in-between byte's fraction)
    alignas(64) double inverseSpan[kBatch];
    alignas(64) double base[kBatch];
    alignas(64) double anchorSpan[kBatch];
    alignas(64) float m1[kBatch];
    alignas(64) float m2[kBatch];
    // Outputs.
    alignas(64) std::int32_t sixth[kBatch];
    alignas(64) std::int32_t middle[kBatch];
};

// The floating-point pass works on vectors of lanes (GCC/Clang vector extensions: plain IEEE
// arithmetic lane by lane, so that any width gives the same bytes): two doubles fill one SSE2
// register, the x86-64 baseline; four fill an AVX register where the processor has AVX2.
using Doubles2 = double __attribute__((vector_size(16)));
using Floats2 = float __attribute__((vector_size(8)));
using Ints2 = std::int32_t __attribute__((vector_size(8)));
using Masks2 = std::int64_t __attribute__((vector_size(16)));
using Doubles4 = double __attribute__((vector_size(32)));
using Floats4 = float __attribute__((vector_size(16)));
using Ints4 = std::int32_t __attribute__((vector_size(16)));
using Masks4 = std::int64_t __attribute__((vector_size(32)));
static_assert(kBatch % 4 == 0);

template <int kLanes>
struct Lanes;
template <>
struct Lanes<2> {
    using Doubles = Doubles2;
    using Floats = Floats2;
    using Ints = Ints2;
    using Masks = Masks2;
};
template <>
struct Lanes<4> {
    using Doubles = Doubles4;
    using Floats = Floats4;
    using Ints = Ints4;
    using Masks = Masks4;
};

// The helpers below are always inlined, so the four-lane ones become AVX code inside the AVX2
// pass; GCC's note that 32-byte vectors change the calling convention outside it does not apply.
#define TINTORA_INLINE inline __attribute__((always_inline))
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#if defined(__x86_64__) && !defined(__AVX2__)
#define TINTORA_AVX2 __attribute__((target("avx2")))
#else
#define TINTORA_AVX2
#endif

// The conversions lane by lane (__builtin_convertvector takes no template-dependent types).
TINTORA_INLINE Doubles2 ToDoubles(Floats2 v) {
    return __builtin_convertvector(v, Doubles2);
}
TINTORA_INLINE Floats2 ToFloats(Doubles2 v) {
    return __builtin_convertvector(v, Floats2);
}
TINTORA_INLINE Doubles2 ToDoubles(Ints2 v) {
    return __builtin_convertvector(v, Doubles2);
}
TINTORA_INLINE Ints2 ToInts(Doubles2 v) {
    return __builtin_convertvector(v, Ints2);
}
TINTORA_INLINE Doubles4 ToDoubles(Floats4 v) {
    return __builtin_convertvector(v, Doubles4);
}
TINTORA_INLINE Floats4 ToFloats(Doubles4 v) {
    return __builtin_convertvector(v, Floats4);
}
TINTORA_INLINE Doubles4 ToDoubles(Ints4 v) {
    return __builtin_convertvector(v, Doubles4);
}
TINTORA_INLINE Ints4 ToInts(Doubles4 v) {
    return __builtin_convertvector(v, Ints4);
}

template <typename L>
TINTORA_INLINE typename L::Doubles LoadDoubles(const double* from) {
    typename L::Doubles value;
    std::memcpy(&value, from, sizeof value);
    return value;
}

template <typename L>
TINTORA_INLINE typename L::Doubles LoadDoubles(const float* from) {
    typename L::Floats value;
    std::memcpy(&value, from, sizeof value);
    return ToDoubles(value);
}

// Each lane rounded to single precision, held in double precision.
template <typename D>
TINTORA_INLINE D F(D value) {
    return ToDoubles(ToFloats(value));
}

// The floating-point steps of the first n pixels of a batch (rounded up to whole vectors; the
// lanes past n compute on what the batch holds there and are not used): hue, shift, wrap, and
// the in-between value of the way back with its sixth (kBlackSixth for black). Same arithmetic
// as RgbToHsl, the shifts and HslToRgb; values that those keep in single precision are rounded
// with F. No branches: both sides of every choice are computed and one is kept.
template <int kLanes>
TINTORA_INLINE void HuePassOf(Batch& b, std::size_t n, double hueShift) {
    using L = Lanes<kLanes>;
    using Doubles = typename L::Doubles;
    using Ints = typename L::Ints;
    using Masks = typename L::Masks;
    constexpr double kTwoTo52 = 4503599627370496.0;
    const Doubles zero = {};
    const Doubles one = zero + 1;
    for (std::size_t i = 0; i < n; i += kLanes) {
        const Doubles offset =
            F(LoadDoubles<L>(b.offsetNumerator + i) * LoadDoubles<L>(b.inverseSpan + i));
        Doubles H = F((LoadDoubles<L>(b.base + i) + offset) * 60);
        H = F(H + hueShift);
        const Doubles up = F(H + 360);
        H = H < 0 ? up : H;
        const Doubles down = F(H - 360);
        H = H >= 360 ? down : H;
        const Doubles x = H / 360 * 6;
        // floor(x) is 0 to 5 exactly when x is in [0, 6); anything else gives black.
        const Masks onCircle = (x >= 0) & (x < 6);
        const Doubles xc = onCircle ? x : zero;
        const Ints k = ToInts(xc);
        const Doubles kd = ToDoubles(k);
        const Doubles v = (F(xc) - kd) * LoadDoubles<L>(b.anchorSpan + i);
        const Doubles rising = F(LoadDoubles<L>(b.m1 + i) + v);
        const Doubles falling = F(LoadDoubles<L>(b.m2 + i) - v);
        // kd / 2 has no fraction exactly when k is even.
        const Doubles half = kd * 0.5;
        const Masks even = ToDoubles(ToInts(half)) == half;
        Doubles y = (even ? rising : falling) * 255;
        // Cut to 0..255, then round half to even (y is never a NaN here).
        y = y < 0 ? zero : y;
        y = y > 255 ? zero + 255 : y;
        y = (y + kTwoTo52) - kTwoTo52;
        const Ints middle = ToInts(y);
        const Ints sixth = ToInts(onCircle ? kd : one * static_cast<double>(kBlackSixth));
        std::memcpy(b.middle + i, &middle, sizeof middle);
        std::memcpy(b.sixth + i, &sixth, sizeof sixth);
    }
}

void HuePassSse2(Batch& b, std::size_t n, double hueShift) {
    HuePassOf<2>(b, n, hueShift);
}

#if defined(__x86_64__) && !defined(__AVX2__)
TINTORA_AVX2 void HuePassAvx2(Batch& b, std::size_t n, double hueShift) {
    HuePassOf<4>(b, n, hueShift);
}
#endif

using HuePassFn = void (*)(Batch&, std::size_t, double);

// The widest pass the processor runs.
HuePassFn WidestHuePass() {
#if defined(__AVX2__)
    return [](Batch& b, std::size_t n, double hueShift) { HuePassOf<4>(b, n, hueShift); };
#elif defined(__x86_64__)
    return __builtin_cpu_supports("avx2") ? HuePassAvx2 : HuePassSse2;
#else
    return HuePassSse2;
#endif
}

std::atomic<HuePassFn> g_huePass{WidestHuePass()};

// Chunks of a few thousand pixels; a progress group is worth starting the parallel loop for from
// about 8 Ki pixels per thread.
constexpr std::size_t kHueGrain = 4096;
constexpr std::size_t kHueGroupPerThread = 8192;

// Below this many pixels the pair terms are computed for each pixel instead of for all pairs.
constexpr std::size_t kPairTableFrom = kPairCount / 2;

// Adjusts pixels [begin, end), alpha kept. termsOf(M, m) gives the pair terms of the largest
// byte M and the smallest m.
template <typename TermsOf>
void AdjustRange(const std::uint8_t* in, std::uint8_t* out, std::size_t begin, std::size_t end,
                 const TermsOf& termsOf, const float* unit, std::int32_t hueShift) {
    const HuePassFn huePass = g_huePass.load(std::memory_order_relaxed);
    Batch b{};
    std::uint8_t m1Byte[kBatch];
    std::uint8_t m2Byte[kBatch];
    for (std::size_t first = begin; first < end; first += kBatch) {
        const std::size_t n = std::min(kBatch, end - first);
        // The bytes of each pixel: largest, smallest, the one in between, and the hue sector.
        // Plain byte loops, which the compiler vectorises.
        std::uint8_t largestByte[kBatch];
        std::uint8_t smallestByte[kBatch];
        std::uint8_t betweenByte[kBatch];
        std::uint8_t sectorIndex[kBatch];
        // A short last batch is padded with black.
        std::uint8_t padded[4 * kBatch];
        const std::uint8_t* px = in + 4 * first;
        if (n < kBatch) {
            std::memset(padded, 0, sizeof padded);
            std::memcpy(padded, px, 4 * n);
            px = padded;
        }
        for (std::size_t i = 0; i < kBatch; ++i) {
            const std::uint8_t B = px[4 * i];
            const std::uint8_t G = px[4 * i + 1];
            const std::uint8_t R = px[4 * i + 2];
            const std::uint8_t M = std::max(std::max(R, G), B);
            const std::uint8_t m = std::min(std::min(R, G), B);
            largestByte[i] = M;
            smallestByte[i] = m;
            // The byte whose offset from the largest sets the hue is always the one in between.
            betweenByte[i] = static_cast<std::uint8_t>(R + G + B - M - m);
            // Red counts as the largest before green, green before blue.
            const std::uint8_t sector = R == M   ? (G == m ? 1 : 0)
                                        : G == M ? (B == m ? 3 : 2)
                                                 : (R == m ? 5 : 4);
            sectorIndex[i] = M == m ? static_cast<std::uint8_t>(kGreySector) : sector;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned M = largestByte[i];
            const unsigned sector = sectorIndex[i];
            const PairTerms& terms = termsOf(M, smallestByte[i]);
            const HueSector& hue = kHueSectors[sector];
            b.offsetNumerator[i] = hue.offsetSign * (D(unit[M]) - D(unit[betweenByte[i]]));
            b.inverseSpan[i] = terms.inverseSpan;
            b.base[i] = hue.base;
            b.anchorSpan[i] = terms.anchorSpan;
            b.m1[i] = terms.m1;
            b.m2[i] = terms.m2;
            m1Byte[i] = terms.m1Byte;
            m2Byte[i] = terms.m2Byte;
        }
        huePass(b, n, static_cast<double>(hueShift));
        for (std::size_t i = 0; i < n; ++i) {
            const SectorPlaces& places = kSectorPlaces[b.sixth[i]];
            std::uint32_t pixel;
            std::memcpy(&pixel, in + 4 * (first + i), 4);
            // Shifts of 32 and more would be undefined; black keeps only alpha.
            const std::uint64_t colour =
                (std::uint64_t{m2Byte[i]} << places.high) |
                (std::uint64_t{static_cast<std::uint32_t>(b.middle[i])} << places.middle) |
                (std::uint64_t{m1Byte[i]} << places.low);
            pixel = (static_cast<std::uint32_t>(colour) & 0x00FFFFFFu) | (pixel & 0xFF000000u);
            std::memcpy(out + 4 * (first + i), &pixel, 4);
        }
    }
}

}  // namespace

void effects_detail::UseBaselineHuePass(bool baseline) {
    g_huePass.store(baseline ? HuePassSse2 : WidestHuePass());
}

void AdjustHueSaturation(const PixelView& source, const PixelView& destination,
                         std::int32_t hueShift, std::int32_t saturationShift,
                         const ProgressFn& progress) {
    effects_detail::RequireMatchingViews(source, destination);
    const std::size_t count = effects_detail::PixelCount(source);
    const float* unit = UnitTable().data();
    const std::uint8_t* in = source.data;
    std::uint8_t* out = destination.data;
    const std::size_t minGroup = pixel_groups::MinGroupPixels(kHueGroupPerThread);
    if (count < kPairTableFrom) {
        // Too few pixels to pay for the table: each pixel computes its own pair terms.
        const auto termsOf = [saturationShift](unsigned M, unsigned m) {
            return MakePairTerms(M, m, saturationShift);
        };
        pixel_groups::ForEachPixelGroup(
            count, kHueGrain, minGroup, progress, [&](std::size_t begin, std::size_t end) {
                AdjustRange(in, out, begin, end, termsOf, unit, hueShift);
            });
        return;
    }
    const std::vector<PairTerms> pairs = MakePairTable(saturationShift);
    const auto termsOf = [table = pairs.data()](unsigned M, unsigned m) -> const PairTerms& {
        return table[PairIndex(M, m)];
    };
    pixel_groups::ForEachPixelGroup(count, kHueGrain, minGroup, progress,
                                    [&](std::size_t begin, std::size_t end) {
                                        AdjustRange(in, out, begin, end, termsOf, unit, hueShift);
                                    });
}

}  // namespace tintora
