// The colour block encoder. A block is two little-endian R5G6B5 words c0 and c1 (red in the top
// five bits, blue in the bottom five), then 32 bits of indices, two a texel, texel 0 in the lowest
// bits. Endpoints widen to 8 bits by repeating their top bits.
//
// Fast: two starting pairs, the ends of the texels' spread along their principal axis and (for
// blocks of little spread, whose ends tend to round to one colour) the pair whose interpolated
// colour is the mean's; from the better, two least-squares rounds: the endpoints that fit the
// current indices best, each channel rounded down or up to the 5:6:5 grid (whichever pair fits
// those indices better), then the indices again. Best: more rounds from both starts, each followed
// by a steepest descent in 5:6:5 space (one-step moves of single endpoint channels) and further
// rounds while they help. Indices are always the nearest entries of the palette the decoder
// computes, with its integer rounding. Single-colour blocks come from tables of the endpoint pairs
// whose interpolated value is closest to each 8-bit value. Errors are sums of squared integer
// differences, exact in floats, so the bytes do not depend on how the work was split.
#include "imagefiles/bc1_encoder.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace tintora {
namespace {

constexpr int Expand5(int q) {
    return (q << 3) | (q >> 2);
}
constexpr int Expand6(int q) {
    return (q << 2) | (q >> 4);
}

// Four: four colours, c0 > c1. Three: three colours and black, c0 <= c1, for opaque texels.
// Cutout: three colours for opaque texels, index 3 (transparent) for the others.
enum class Mode { Four, Three, Cutout };

// An R5G6B5 endpoint, one number a channel: red and blue 0-31, green 0-63.
struct Endpoint {
    int c[3];  // red, green, blue
};

constexpr int kChannelMax[3] = {31, 63, 31};

std::uint16_t Word(const Endpoint& e) {
    return static_cast<std::uint16_t>((e.c[0] << 11) | (e.c[1] << 5) | e.c[2]);
}

int Expand(int channel, int q) {
    return channel == 1 ? Expand6(q) : Expand5(q);
}

// ---- Single colours ----

// For every 8-bit value, the endpoint pair whose interpolated value (index 2) is closest; among
// pairs that hit it equally, the one with the closest endpoints.
struct SolidPair {
    std::uint8_t q0, q1;
};
using SolidTable = std::array<SolidPair, 256>;

constexpr SolidTable MakeSolidTable(int bits, bool threeColour) {
    const int top = (1 << bits) - 1;
    std::array<bool, 256> hit{};
    std::array<int, 256> spread{};  // |q0 - q1| of the pair found
    SolidTable table{};
    for (int q0 = 0; q0 <= top; ++q0) {
        for (int q1 = 0; q1 <= top; ++q1) {
            const int e0 = bits == 6 ? Expand6(q0) : Expand5(q0);
            const int e1 = bits == 6 ? Expand6(q1) : Expand5(q1);
            const int value = threeColour ? (e0 + e1) / 2 : (2 * e0 + e1) / 3;
            const int d = q0 > q1 ? q0 - q1 : q1 - q0;
            if (!hit[value] || d < spread[value]) {
                hit[value] = true;
                spread[value] = d;
                table[value] = {static_cast<std::uint8_t>(q0), static_cast<std::uint8_t>(q1)};
            }
        }
    }
    // Values no pair gives take the nearest value's pair (the lower of two as near).
    for (int v = 0; v < 256; ++v) {
        for (int step = 1; !hit[v] && step < 256; ++step) {
            if (v - step >= 0 && hit[v - step]) {
                table[v] = table[v - step];
                break;
            }
            if (v + step < 256 && hit[v + step]) {
                table[v] = table[v + step];
                break;
            }
        }
    }
    return table;
}

// Tables by channel width (5, 6) and mode (four colours: (2 e0 + e1) / 3; three: (e0 + e1) / 2).
constexpr SolidTable kSolid5Four = MakeSolidTable(5, false);
constexpr SolidTable kSolid6Four = MakeSolidTable(6, false);
constexpr SolidTable kSolid5Three = MakeSolidTable(5, true);
constexpr SolidTable kSolid6Three = MakeSolidTable(6, true);

// ---- Texels and palettes ----

// The 16 texels, channel by channel, and which of them take part in the fit (all, or the opaque
// ones of a cut-out block).
struct Texels {
    alignas(16) float r[16], g[16], b[16];
    alignas(16) std::uint32_t fitted[16];  // all bits set for texels the fit covers
    float sumOfSquares = 0;                // of the fitted texels' channels
    int count = 0;                         // texels the fit covers

    __m128 Red(int group) const { return _mm_load_ps(r + 4 * group); }
    __m128 Green(int group) const { return _mm_load_ps(g + 4 * group); }
    __m128 Blue(int group) const { return _mm_load_ps(b + 4 * group); }
    __m128 Fitted(int group) const {
        return _mm_castsi128_ps(
            _mm_load_si128(reinterpret_cast<const __m128i*>(fitted + 4 * group)));
    }
};

// A palette as the nearest-entry search uses it: lane k of each vector is entry k's twice red,
// twice green, twice blue and squared length. A texel x is nearest the entry with the largest
// 2 x.p - p.p.
struct Palette {
    __m128 r2, g2, b2, length2;
    int entries;  // indices the fitted texels may use
};

__m128 Truncate(__m128 v) {
    return _mm_cvtepi32_ps(_mm_cvttps_epi32(v));
}

// An endpoint word's channels widened to 8 bits, in lanes red, green, blue, 0: q << 3 | q >> 2
// is the integer part of q * 33 / 4, and q << 2 | q >> 4 that of q * 65 / 16.
__m128 Widen(std::uint16_t word) {
    const __m128 q = _mm_cvtepi32_ps(_mm_setr_epi32(word >> 11, (word >> 5) & 63, word & 31, 0));
    return Truncate(_mm_mul_ps(q, _mm_setr_ps(33.0f / 4, 65.0f / 16, 33.0f / 4, 0)));
}

Palette MakePalette(std::uint16_t c0, std::uint16_t c1, Mode mode) {
    __m128 p0 = Widen(c0), p1 = Widen(c1), p2, p3;
    if (mode == Mode::Four) {
        // Integer thirds: the float nearest 1/3 lies above it, so a multiple of 3 (at most 765)
        // times it never falls below the quotient, and the others stay below the next integer.
        const __m128 third = _mm_set1_ps(1.0f / 3);
        p2 = Truncate(_mm_mul_ps(_mm_add_ps(_mm_add_ps(p0, p0), p1), third));
        p3 = Truncate(_mm_mul_ps(_mm_add_ps(_mm_add_ps(p1, p1), p0), third));
    } else {
        p2 = Truncate(_mm_mul_ps(_mm_add_ps(p0, p1), _mm_set1_ps(0.5f)));
        p3 = _mm_setzero_ps();
    }
    _MM_TRANSPOSE4_PS(p0, p1, p2, p3);  // now red, green, blue and zero of the four entries
    Palette palette;
    palette.r2 = _mm_add_ps(p0, p0);
    palette.g2 = _mm_add_ps(p1, p1);
    palette.b2 = _mm_add_ps(p2, p2);
    palette.length2 =
        _mm_add_ps(_mm_add_ps(_mm_mul_ps(p0, p0), _mm_mul_ps(p1, p1)), _mm_mul_ps(p2, p2));
    palette.entries = mode == Mode::Cutout ? 3 : 4;
    return palette;
}

// A candidate: the words in the order the mode needs, its error and its indices.
struct Fit {
    std::uint16_t c0 = 0, c1 = 0;
    float error = 0;
    __m128i indices[4];
};

float HorizontalSum(__m128 v) {
    const __m128 high = _mm_movehl_ps(v, v);
    const __m128 pairs = _mm_add_ps(v, high);
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
}

// Lane k of v in every lane.
template <int k>
__m128 Lane(__m128 v) {
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(k, k, k, k));
}

// The block's error with each fitted texel at its nearest palette entry (the first of equals),
// and those entries (texels outside the fit take index 3). Every term is an integer below 2^24,
// so the float sums are exact.
float Evaluate(const Texels& t, const Palette& p, __m128i* indices) {
    const __m128 pr[4] = {Lane<0>(p.r2), Lane<1>(p.r2), Lane<2>(p.r2), Lane<3>(p.r2)};
    const __m128 pg[4] = {Lane<0>(p.g2), Lane<1>(p.g2), Lane<2>(p.g2), Lane<3>(p.g2)};
    const __m128 pb[4] = {Lane<0>(p.b2), Lane<1>(p.b2), Lane<2>(p.b2), Lane<3>(p.b2)};
    const __m128 pl[4] = {Lane<0>(p.length2), Lane<1>(p.length2), Lane<2>(p.length2),
                          Lane<3>(p.length2)};
    __m128 total = _mm_setzero_ps();
    for (int j = 0; j < 4; ++j) {
        const __m128 r = t.Red(j), g = t.Green(j), b = t.Blue(j);
        const auto score = [&](int k) {
            return _mm_sub_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(r, pr[k]), _mm_mul_ps(g, pg[k])),
                                         _mm_mul_ps(b, pb[k])),
                              pl[k]);
        };
        __m128 best = score(0);
        __m128i index = _mm_setzero_si128();
        for (int k = 1; k < p.entries; ++k) {
            const __m128 s = score(k);
            const __m128i closer = _mm_castps_si128(_mm_cmpgt_ps(s, best));
            index = _mm_or_si128(_mm_andnot_si128(closer, index),
                                 _mm_and_si128(closer, _mm_set1_epi32(k)));
            best = _mm_max_ps(best, s);
        }
        const __m128i fitted = _mm_castps_si128(t.Fitted(j));
        total = _mm_add_ps(total, _mm_and_ps(best, t.Fitted(j)));
        indices[j] =
            _mm_or_si128(_mm_and_si128(fitted, index), _mm_andnot_si128(fitted, _mm_set1_epi32(3)));
    }
    return t.sumOfSquares - HorizontalSum(total);
}

// Puts two words in the order the mode needs: c0 > c1 for four colours, c0 <= c1 for three.
void Order(Mode mode, std::uint16_t& c0, std::uint16_t& c1) {
    if ((mode == Mode::Four) == (c0 < c1)) std::swap(c0, c1);
}

Fit Candidate(const Texels& t, Mode mode, std::uint16_t c0, std::uint16_t c1) {
    Fit fit;
    Order(mode, c0, c1);
    fit.c0 = c0;
    fit.c1 = c1;
    fit.error = Evaluate(t, MakePalette(c0, c1, mode), fit.indices);
    return fit;
}

// ---- Least squares ----

// The sums of the normal equations for fixed indices. A texel at position w (of scale) along
// c0 -> c1 has weights (scale - w, w); the sums are of those weights times each other and times
// the texel's channels.
struct Moments {
    float a = 0, b = 0, c = 0;     // sums of w0 w0, w1 w1, w0 w1
    float x0[3] = {}, x1[3] = {};  // sums of w0 x and w1 x per channel
    float scale = 1;
};

Moments Accumulate(const Texels& t, const __m128i* indices, Mode mode) {
    __m128 a = _mm_setzero_ps(), b = a, c = a, x0[3] = {a, a, a}, x1[3] = {a, a, a};
    const __m128i one = _mm_set1_epi32(1), two = _mm_set1_epi32(2), three = _mm_set1_epi32(3);
    const float scale = mode == Mode::Four ? 3.0f : 2.0f;
    const __m128 scaleVector = _mm_set1_ps(scale);
    for (int j = 0; j < 4; ++j) {
        const __m128i index = indices[j];
        const __m128i isOne = _mm_cmpeq_epi32(index, one);
        __m128i position;
        __m128 used = t.Fitted(j);
        if (mode == Mode::Four) {
            // Indices 0, 2, 3, 1 lie at 0, 1, 2, 3 thirds.
            position = _mm_add_epi32(_mm_srli_epi32(_mm_add_epi32(index, one), 1),
                                     _mm_and_si128(isOne, two));
        } else {
            // Indices 0, 2, 1 lie at 0, 1, 2 halves; index 3 (black or transparent) is no part.
            position = _mm_or_si128(_mm_and_si128(isOne, two),
                                    _mm_and_si128(_mm_cmpeq_epi32(index, two), one));
            used = _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(index, three)), used);
        }
        const __m128 w1 = _mm_and_ps(_mm_cvtepi32_ps(position), used);
        const __m128 w0 = _mm_and_ps(_mm_sub_ps(scaleVector, w1), used);
        a = _mm_add_ps(a, _mm_mul_ps(w0, w0));
        b = _mm_add_ps(b, _mm_mul_ps(w1, w1));
        c = _mm_add_ps(c, _mm_mul_ps(w0, w1));
        const __m128 channels[3] = {t.Red(j), t.Green(j), t.Blue(j)};
        for (int ch = 0; ch < 3; ++ch) {
            x0[ch] = _mm_add_ps(x0[ch], _mm_mul_ps(w0, channels[ch]));
            x1[ch] = _mm_add_ps(x1[ch], _mm_mul_ps(w1, channels[ch]));
        }
    }
    Moments m;
    m.a = HorizontalSum(a);
    m.b = HorizontalSum(b);
    m.c = HorizontalSum(c);
    for (int ch = 0; ch < 3; ++ch) {
        m.x0[ch] = HorizontalSum(x0[ch]);
        m.x1[ch] = HorizontalSum(x1[ch]);
    }
    m.scale = scale;
    return m;
}

// The endpoints that fit the indices best: the least-squares solution, each channel rounded down
// and up to the 5:6:5 grid, and of those four pairs the one with the least error for the
// indices. False when the indices leave the endpoints open (one position only).
bool SolveEndpoints(const Moments& m, Endpoint& q0, Endpoint& q1) {
    const float det = m.a * m.b - m.c * m.c;
    if (det <= 0) return false;
    const float inverse = m.scale / det;
    for (int ch = 0; ch < 3; ++ch) {
        const float e[2] = {(m.b * m.x0[ch] - m.c * m.x1[ch]) * inverse,
                            (m.a * m.x1[ch] - m.c * m.x0[ch]) * inverse};
        const int top = kChannelMax[ch];
        const float step = static_cast<float>(top) / 255.0f;
        int low[2], high[2];
        for (int i = 0; i < 2; ++i) {
            low[i] = static_cast<int>(std::clamp(e[i] * step, 0.0f, static_cast<float>(top)));
            high[i] = std::min(low[i] + 1, top);
        }
        // The error times scale^2, less the texels' own sum of squares.
        float bestError = 0;
        for (int i = 0; i < 4; ++i) {
            const int qa = (i & 1) ? high[0] : low[0];
            const int qb = (i & 2) ? high[1] : low[1];
            const float v0 = static_cast<float>(Expand(ch, qa));
            const float v1 = static_cast<float>(Expand(ch, qb));
            const float error = v0 * (v0 * m.a + 2 * v1 * m.c - 2 * m.scale * m.x0[ch]) +
                                v1 * (v1 * m.b - 2 * m.scale * m.x1[ch]);
            if (i == 0 || error < bestError) {
                bestError = error;
                q0.c[ch] = qa;
                q1.c[ch] = qb;
            }
        }
    }
    return true;
}

// ---- The fit ----

Texels Load(const std::uint8_t* bgra, int alphaThreshold) {
    Texels t;
    const __m128i byte = _mm_set1_epi32(0xFF);
    const __m128i threshold = _mm_set1_epi32(alphaThreshold);
    __m128 squares = _mm_setzero_ps();
    for (int j = 0; j < 4; ++j) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * j));
        const __m128 r = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 16), byte));
        const __m128 g = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 8), byte));
        const __m128 b = _mm_cvtepi32_ps(_mm_and_si128(px, byte));
        _mm_store_ps(t.r + 4 * j, r);
        _mm_store_ps(t.g + 4 * j, g);
        _mm_store_ps(t.b + 4 * j, b);
        const __m128i transparent = _mm_cmplt_epi32(_mm_srli_epi32(px, 24), threshold);
        const __m128i fitted = _mm_xor_si128(transparent, _mm_set1_epi32(-1));
        _mm_store_si128(reinterpret_cast<__m128i*>(t.fitted + 4 * j), fitted);
        squares = _mm_add_ps(squares,
                             _mm_and_ps(_mm_castsi128_ps(fitted),
                                        _mm_add_ps(_mm_add_ps(_mm_mul_ps(r, r), _mm_mul_ps(g, g)),
                                                   _mm_mul_ps(b, b))));
        constexpr int kBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
        t.count += 4 - kBits[_mm_movemask_ps(_mm_castsi128_ps(transparent))];
    }
    t.sumOfSquares = HorizontalSum(squares);
    return t;
}

// The fitted texels' mean and the ends of their spread along their principal axis.
struct Spread {
    float mean[3], end0[3], end1[3];
    float extent;  // the largest channel difference between the ends
};

Spread PrincipalSpread(const Texels& t) {
    Spread spread;
    __m128 sum[3] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    for (int j = 0; j < 4; ++j) {
        sum[0] = _mm_add_ps(sum[0], _mm_and_ps(t.Red(j), t.Fitted(j)));
        sum[1] = _mm_add_ps(sum[1], _mm_and_ps(t.Green(j), t.Fitted(j)));
        sum[2] = _mm_add_ps(sum[2], _mm_and_ps(t.Blue(j), t.Fitted(j)));
    }
    const float inverseCount = 1.0f / static_cast<float>(t.count);
    const float mean[3] = {HorizontalSum(sum[0]) * inverseCount,
                           HorizontalSum(sum[1]) * inverseCount,
                           HorizontalSum(sum[2]) * inverseCount};
    std::copy(mean, mean + 3, spread.mean);
    __m128 d[4][3];
    __m128 cov[6];
    for (auto& c : cov)
        c = _mm_setzero_ps();
    for (int j = 0; j < 4; ++j) {
        d[j][0] = _mm_and_ps(_mm_sub_ps(t.Red(j), _mm_set1_ps(mean[0])), t.Fitted(j));
        d[j][1] = _mm_and_ps(_mm_sub_ps(t.Green(j), _mm_set1_ps(mean[1])), t.Fitted(j));
        d[j][2] = _mm_and_ps(_mm_sub_ps(t.Blue(j), _mm_set1_ps(mean[2])), t.Fitted(j));
        cov[0] = _mm_add_ps(cov[0], _mm_mul_ps(d[j][0], d[j][0]));
        cov[1] = _mm_add_ps(cov[1], _mm_mul_ps(d[j][0], d[j][1]));
        cov[2] = _mm_add_ps(cov[2], _mm_mul_ps(d[j][0], d[j][2]));
        cov[3] = _mm_add_ps(cov[3], _mm_mul_ps(d[j][1], d[j][1]));
        cov[4] = _mm_add_ps(cov[4], _mm_mul_ps(d[j][1], d[j][2]));
        cov[5] = _mm_add_ps(cov[5], _mm_mul_ps(d[j][2], d[j][2]));
    }
    float c[6];
    for (int i = 0; i < 6; ++i)
        c[i] = HorizontalSum(cov[i]);
    // Power iteration with the squared covariance, from the row of the largest variance.
    float axis[3];
    if (c[0] >= c[3] && c[0] >= c[5]) {
        axis[0] = c[0], axis[1] = c[1], axis[2] = c[2];
    } else if (c[3] >= c[5]) {
        axis[0] = c[1], axis[1] = c[3], axis[2] = c[4];
    } else {
        axis[0] = c[2], axis[1] = c[4], axis[2] = c[5];
    }
    const float s[6] = {
        c[0] * c[0] + c[1] * c[1] + c[2] * c[2], c[0] * c[1] + c[1] * c[3] + c[2] * c[4],
        c[0] * c[2] + c[1] * c[4] + c[2] * c[5], c[1] * c[1] + c[3] * c[3] + c[4] * c[4],
        c[1] * c[2] + c[3] * c[4] + c[4] * c[5], c[2] * c[2] + c[4] * c[4] + c[5] * c[5]};
    for (int i = 0; i < 2; ++i) {
        const float x = s[0] * axis[0] + s[1] * axis[1] + s[2] * axis[2];
        const float y = s[1] * axis[0] + s[3] * axis[1] + s[4] * axis[2];
        const float z = s[2] * axis[0] + s[4] * axis[1] + s[5] * axis[2];
        const float largest = std::max({std::fabs(x), std::fabs(y), std::fabs(z)});
        if (!(largest > 0)) break;
        const float inverse = 1.0f / largest;
        axis[0] = x * inverse, axis[1] = y * inverse, axis[2] = z * inverse;
    }
    float norm = axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2];
    if (!(norm > 0)) axis[0] = axis[1] = axis[2] = 1, norm = 3;
    const __m128 ax = _mm_set1_ps(axis[0]), ay = _mm_set1_ps(axis[1]), az = _mm_set1_ps(axis[2]);
    __m128 low = _mm_setzero_ps(), high = low;
    for (int j = 0; j < 4; ++j) {
        const __m128 projection = _mm_add_ps(
            _mm_add_ps(_mm_mul_ps(d[j][0], ax), _mm_mul_ps(d[j][1], ay)), _mm_mul_ps(d[j][2], az));
        low = _mm_min_ps(low, projection);
        high = _mm_max_ps(high, projection);
    }
    low = _mm_min_ps(low, _mm_movehl_ps(low, low));
    low = _mm_min_ss(low, _mm_shuffle_ps(low, low, 1));
    high = _mm_max_ps(high, _mm_movehl_ps(high, high));
    high = _mm_max_ss(high, _mm_shuffle_ps(high, high, 1));
    const float inverseNorm = 1.0f / norm;
    const float tLow = _mm_cvtss_f32(low) * inverseNorm, tHigh = _mm_cvtss_f32(high) * inverseNorm;
    for (int ch = 0; ch < 3; ++ch) {
        spread.end0[ch] = std::clamp(mean[ch] + axis[ch] * tHigh, 0.0f, 255.0f);
        spread.end1[ch] = std::clamp(mean[ch] + axis[ch] * tLow, 0.0f, 255.0f);
    }
    spread.extent = 0;
    for (int ch = 0; ch < 3; ++ch)
        spread.extent = std::max(spread.extent, std::fabs(spread.end0[ch] - spread.end1[ch]));
    return spread;
}

Endpoint Quantise(const float colour[3]) {
    Endpoint e;
    for (int ch = 0; ch < 3; ++ch) {
        e.c[ch] =
            static_cast<int>(colour[ch] * static_cast<float>(kChannelMax[ch]) / 255.0f + 0.5f);
    }
    return e;
}

// Least-squares rounds from a fit while they lower its error.
Fit Refine(const Texels& t, Mode mode, Fit fit, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        Endpoint q0, q1;
        if (!SolveEndpoints(Accumulate(t, fit.indices, mode), q0, q1)) break;
        const Fit next = Candidate(t, mode, Word(q0), Word(q1));
        if (!(next.error < fit.error)) break;
        fit = next;
    }
    return fit;
}

Endpoint Unpack(std::uint16_t word) {
    return {{word >> 11, (word >> 5) & 63, word & 31}};
}

// The palette values of one channel for endpoint values a and b (widened), as the decoder
// computes them; the order of a and b does not change the set.
void ChannelValues(Mode mode, int a, int b, int p[4]) {
    p[0] = a;
    p[1] = b;
    if (mode == Mode::Four) {
        p[2] = (2 * a + b) / 3;
        p[3] = (a + 2 * b) / 3;
    } else {
        p[2] = (a + b) / 2;
        p[3] = 0;
    }
}

// One channel's share of the nearest-entry scores of every texel: x 2 p_k - p_k^2 for each
// palette entry k, by entry and group of four texels.
struct ChannelScores {
    __m128 v[4][4];
};

const float* Channel(const Texels& t, int ch) {
    return ch == 0 ? t.r : ch == 1 ? t.g : t.b;
}

void ScoreChannel(const Texels& t, int ch, const int p[4], ChannelScores& out) {
    const float* x = Channel(t, ch);
    for (int k = 0; k < 4; ++k) {
        const __m128 twice = _mm_set1_ps(static_cast<float>(2 * p[k]));
        const __m128 square = _mm_set1_ps(static_cast<float>(p[k] * p[k]));
        for (int j = 0; j < 4; ++j)
            out.v[k][j] = _mm_sub_ps(_mm_mul_ps(_mm_load_ps(x + 4 * j), twice), square);
    }
}

// The block's error with one channel's palette values p and the other two channels' scores.
float ChannelError(const Texels& t, int ch, const int p[4], const ChannelScores& rest,
                   int entries) {
    const float* x = Channel(t, ch);
    __m128 twice[4], square[4];
    for (int k = 0; k < 4; ++k) {
        twice[k] = _mm_set1_ps(static_cast<float>(2 * p[k]));
        square[k] = _mm_set1_ps(static_cast<float>(p[k] * p[k]));
    }
    __m128 total = _mm_setzero_ps();
    for (int j = 0; j < 4; ++j) {
        const __m128 v = _mm_load_ps(x + 4 * j);
        const auto score = [&](int k) {
            return _mm_add_ps(_mm_sub_ps(_mm_mul_ps(v, twice[k]), square[k]), rest.v[k][j]);
        };
        __m128 best = score(0);
        for (int k = 1; k < entries; ++k)
            best = _mm_max_ps(best, score(k));
        total = _mm_add_ps(total, _mm_and_ps(best, t.Fitted(j)));
    }
    return t.sumOfSquares - HorizontalSum(total);
}

// Steepest descent in 5:6:5 space: each round tries every one-step move of one channel of c0,
// of c1, of both the same way and of both apart, and takes the one that lowers the error most,
// until none does. A move changes one channel, so only that channel's scores are recomputed.
Fit Descend(const Texels& t, Mode mode, Fit fit, int rounds) {
    const int entries = mode == Mode::Cutout ? 3 : 4;
    Endpoint e[2] = {Unpack(fit.c0), Unpack(fit.c1)};
    ChannelScores scores[3];
    for (int ch = 0; ch < 3; ++ch) {
        int p[4];
        ChannelValues(mode, Expand(ch, e[0].c[ch]), Expand(ch, e[1].c[ch]), p);
        ScoreChannel(t, ch, p, scores[ch]);
    }
    for (int round = 0; round < rounds; ++round) {
        int bestChannel = -1, best0 = 0, best1 = 0;
        ChannelScores rest;
        for (int ch = 0; ch < 3; ++ch) {
            const ChannelScores& u = scores[(ch + 1) % 3];
            const ChannelScores& w = scores[(ch + 2) % 3];
            for (int k = 0; k < 4; ++k) {
                for (int j = 0; j < 4; ++j)
                    rest.v[k][j] = _mm_add_ps(u.v[k][j], w.v[k][j]);
            }
            const int top = kChannelMax[ch];
            for (int move = 0; move < 8; ++move) {
                const int step = move % 2 ? -1 : 1;
                const int which = move / 2;  // c0, c1, both, apart
                const int q0 = e[0].c[ch] + (which != 1 ? step : 0);
                const int q1 = e[1].c[ch] + (which == 1 || which == 2 ? step
                                             : which == 3             ? -step
                                                                      : 0);
                if (q0 < 0 || q0 > top || q1 < 0 || q1 > top) continue;
                int p[4];
                ChannelValues(mode, Expand(ch, q0), Expand(ch, q1), p);
                const float error = ChannelError(t, ch, p, rest, entries);
                if (error < fit.error) {
                    fit.error = error;
                    bestChannel = ch;
                    best0 = q0;
                    best1 = q1;
                }
            }
        }
        if (bestChannel < 0) break;
        e[0].c[bestChannel] = best0;
        e[1].c[bestChannel] = best1;
        int p[4];
        ChannelValues(mode, Expand(bestChannel, best0), Expand(bestChannel, best1), p);
        ScoreChannel(t, bestChannel, p, scores[bestChannel]);
    }
    return Candidate(t, mode, Word(e[0]), Word(e[1]));
}

// The endpoint pair whose interpolated colour is closest to a colour (per channel, from the
// tables).
void SolidPairFor(const float colour[3], bool threeColour, Endpoint& q0, Endpoint& q1) {
    for (int ch = 0; ch < 3; ++ch) {
        const SolidTable& table = ch == 1 ? (threeColour ? kSolid6Three : kSolid6Four)
                                          : (threeColour ? kSolid5Three : kSolid5Four);
        const int value = static_cast<int>(colour[ch] + 0.5f);
        q0.c[ch] = table[value].q0;
        q1.c[ch] = table[value].q1;
    }
}

// Refines a fit with least squares, then alternates descents and least squares while they
// lower the error.
Fit Polish(const Texels& t, Mode mode, Fit fit) {
    fit = Refine(t, mode, fit, 8);
    for (int i = 0; i < 4; ++i) {
        const float before = fit.error;
        fit = Refine(t, mode, Descend(t, mode, fit, 16), 4);
        if (!(fit.error < before)) break;
    }
    return fit;
}

// Blocks whose colours span at most this much (in 8-bit steps, per channel) also try the pair
// for their mean colour at Fast: their ends often round to one 5:6:5 colour.
constexpr float kSmallExtent = 8;

// Fits a block in one mode. Fast: the better of the principal-axis ends and (for blocks of little
// spread) the pair for the mean colour, then two least-squares rounds. Best: both starts
// polished, the second only when its start is within twice the first's polished error.
Fit FitMode(const Texels& t, Mode mode, const Spread& spread, EncodeLevel level) {
    Fit fit = Candidate(t, mode, Word(Quantise(spread.end0)), Word(Quantise(spread.end1)));
    if (level == EncodeLevel::Fast && spread.extent > kSmallExtent) return Refine(t, mode, fit, 2);
    Endpoint m0, m1;
    SolidPairFor(spread.mean, mode != Mode::Four, m0, m1);
    Fit other = Candidate(t, mode, Word(m0), Word(m1));
    if (other.error < fit.error) std::swap(fit, other);
    if (level == EncodeLevel::Fast) return Refine(t, mode, fit, 2);
    fit = Polish(t, mode, fit);
    if (other.error > 2 * fit.error) return fit;
    other = Polish(t, mode, other);
    return other.error < fit.error ? other : fit;
}

std::uint32_t PackIndices(const __m128i* indices) {
    const __m128i lanes =
        _mm_or_si128(_mm_or_si128(indices[0], _mm_slli_epi32(indices[1], 8)),
                     _mm_or_si128(_mm_slli_epi32(indices[2], 16), _mm_slli_epi32(indices[3], 24)));
    alignas(16) std::uint32_t lane[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lane), lanes);
    return lane[0] | (lane[1] << 2) | (lane[2] << 4) | (lane[3] << 6);
}

void Store(std::uint16_t c0, std::uint16_t c1, std::uint32_t indices, std::uint8_t* block) {
    block[0] = static_cast<std::uint8_t>(c0);
    block[1] = static_cast<std::uint8_t>(c0 >> 8);
    block[2] = static_cast<std::uint8_t>(c1);
    block[3] = static_cast<std::uint8_t>(c1 >> 8);
    std::memcpy(block + 4, &indices, 4);
}

// A block whose fitted texels all have one colour: each channel's pair from the tables, all
// fitted texels at index 2 (or 3, when putting the words in order swaps them).
void EncodeSolid(const std::uint8_t* bgra, int firstFitted, bool cutout, std::uint32_t fittedMask,
                 std::uint8_t* block) {
    const std::uint8_t* px = bgra + 4 * firstFitted;
    const float colour[3] = {static_cast<float>(px[2]), static_cast<float>(px[1]),
                             static_cast<float>(px[0])};
    Endpoint q0, q1;
    SolidPairFor(colour, cutout, q0, q1);
    std::uint16_t c0 = Word(q0), c1 = Word(q1);
    std::uint32_t index = 2;
    if (c0 == c1) {
        index = 0;
    } else if (cutout ? c0 > c1 : c0 < c1) {
        std::swap(c0, c1);
        if (!cutout) index = 3;
    }
    std::uint32_t indices = 0;
    for (int i = 0; i < 16; ++i)
        indices |= ((fittedMask >> i) & 1 ? index : 3u) << (2 * i);
    Store(c0, c1, indices, block);
}

}  // namespace

void EncodeColourBlock(const std::uint8_t* bgra, const ColourBlockOptions& options,
                       std::uint8_t* block) {
    const Texels t = Load(bgra, options.alphaThreshold);
    if (t.count == 0) {  // all transparent
        Store(0, 0, 0xFFFFFFFFu, block);
        return;
    }
    const bool cutout = t.count < 16;
    std::uint32_t fittedMask = 0;
    for (int j = 0; j < 4; ++j)
        fittedMask |= static_cast<std::uint32_t>(_mm_movemask_ps(t.Fitted(j))) << (4 * j);
    const int first = __builtin_ctz(fittedMask);
    // Single colour: every fitted texel's colour equals the first one's.
    std::uint32_t firstColour;
    std::memcpy(&firstColour, bgra + 4 * first, 4);
    const __m128i rgb = _mm_set1_epi32(0xFFFFFF);
    const __m128i wanted = _mm_set1_epi32(static_cast<int>(firstColour & 0xFFFFFF));
    std::uint32_t sameMask = 0;
    for (int j = 0; j < 4; ++j) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * j));
        const __m128i same = _mm_cmpeq_epi32(_mm_and_si128(px, rgb), wanted);
        sameMask |= static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(same))) << (4 * j);
    }
    const bool solid = (fittedMask & ~sameMask) == 0;
    if (solid) {
        EncodeSolid(bgra, first, cutout, fittedMask, block);
        return;
    }

    const Spread spread = PrincipalSpread(t);
    Fit fit = FitMode(t, cutout ? Mode::Cutout : Mode::Four, spread, options.level);
    if (!cutout && options.threeColour) {
        const Fit three = FitMode(t, Mode::Three, spread, options.level);
        if (three.error < fit.error) fit = three;
    }
    Store(fit.c0, fit.c1, PackIndices(fit.indices), block);
}

}  // namespace tintora
