// BC7 encoding, one 4 x 4 block at a time.
//
// A BC7 block (16 bytes, a little-endian bit string) starts with its mode m (0-7) as m zero bits
// and a one, then the mode's partition, rotation and index selection, the endpoints (every red of
// every endpoint, then every green, blue and alpha), the p-bits and the indices. The partition
// splits the texels into one to three subsets; each subset has two endpoints and each texel an
// index into the weights between them: texel = ((64 - w) e0 + w e1 + 32) >> 6 per channel, with
// endpoints widened to 8 bits by repeating their top bits after the p-bit (a shared lowest bit)
// is appended. The first texel of each subset in texel order (its anchor) stores its index without
// the top bit, which must therefore be zero. Modes 4 and 5 keep alpha apart: a second index set
// for it, and a rotation that swaps alpha with red, green or blue after decoding.
//
// How a block is encoded:
//  - a block of one colour takes mode 5, whose endpoints at index 1 give every 8-bit value
//    exactly (a table);
//  - otherwise candidate modes are fitted and the one with the least squared error over R, G, B
//    and A is kept. A fit puts a line through each subset's texels (the principal axis through
//    their mean), quantises its ends to the mode's precision (p-bits by trial), gives each texel
//    the weight nearest its projection onto the quantised line, and refines the ends by least
//    squares on those weights while the error falls; Best then moves single endpoint fields one
//    step while that helps;
//  - two- and three-subset modes fit only the partitions that one unquantised line per subset
//    fits best: all 64 are ranked from per-row tables of texel sums, four to a SIMD vector;
//  - opaque blocks try modes 6, 1 and 3, and mode 5 with the rotation that keeps apart the
//    colour channel lying most off the block's axis; Best adds partitions, rotations and modes 0
//    and 2. Blocks with alpha try modes 6, 5, 4 and 7 (Best: 4 and 5 in every rotation and index
//    selection). Opaque blocks stay opaque: modes 0-3 store no alpha, alpha endpoints of modes 4
//    and 5 are 255, and in modes 6 and 7, where alpha shares the p-bit, the p-bit is 1.
// SSE2 throughout (x86-64's baseline). Every step is arithmetic on the block alone in a fixed
// order, so the bytes depend only on the input, never on threads or runs.
#include "imagefiles/bc7_encoder.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "imagefiles/bc_tables.h"

namespace tintora {
namespace {

// ---- Modes, partitions, anchors, weights ----

enum class PBits { None, PerEndpoint, Shared };

struct Mode {
    int subsets, partitionBits, rotationBits, indexSelectionBits, colourBits, alphaBits;
    PBits pbits;
    int indexBits, secondIndexBits;
};
constexpr Mode kModes[8] = {
    {3, 4, 0, 0, 4, 0, PBits::PerEndpoint, 3, 0}, {2, 6, 0, 0, 6, 0, PBits::Shared, 3, 0},
    {3, 6, 0, 0, 5, 0, PBits::None, 2, 0},        {2, 6, 0, 0, 7, 0, PBits::PerEndpoint, 2, 0},
    {1, 0, 2, 1, 5, 6, PBits::None, 2, 3},        {1, 0, 2, 0, 7, 8, PBits::None, 2, 2},
    {1, 0, 0, 0, 7, 7, PBits::PerEndpoint, 4, 0}, {2, 6, 0, 0, 5, 5, PBits::PerEndpoint, 2, 0},
};

using namespace bc_tables;

// The subset of each texel, by subset count (1-3) and partition.
struct SubsetMaps {
    std::uint8_t of[3][64][16];
};
constexpr SubsetMaps MakeSubsetMaps() {
    SubsetMaps maps{};
    for (int p = 0; p < 64; ++p) {
        for (int t = 0; t < 16; ++t) {
            maps.of[1][p][t] = static_cast<std::uint8_t>((kPartitions2[p] >> t) & 1u);
            maps.of[2][p][t] = static_cast<std::uint8_t>((kPartitions3[p] >> (2 * t)) & 3u);
        }
    }
    return maps;
}
constexpr SubsetMaps kSubsetMaps = MakeSubsetMaps();

int Anchor(int subsets, int partition, int subset) {
    if (subset == 0) return 0;
    if (subsets == 2) return kAnchors2[partition];
    return subset == 1 ? kAnchors3Second[partition] : kAnchors3Third[partition];
}


// ---- Endpoint quantisation ----

// An endpoint channel of bits bits (p-bit included) widened to 8 by repeating its top bits.
constexpr int Widen(int code, int bits) {
    return bits == 8 ? code : (code << (8 - bits)) | (code >> (2 * bits - 8));
}

// The nearest stored code, and the 8-bit value it decodes to, for every 8-bit target: one table
// for each stored width (4-8 bits) and p-bit (none, 0, 1).
struct Quantiser {
    std::uint8_t code[256];
    std::uint8_t value[256];
};
constexpr Quantiser MakeQuantiser(int bits, int pbit) {
    Quantiser q{};
    const int total = pbit < 0 ? bits : bits + 1;
    for (int target = 0; target < 256; ++target) {
        int bestDistance = 1 << 30;
        for (int code = 0; code < (1 << bits); ++code) {
            const int value = Widen(pbit < 0 ? code : (code << 1) | pbit, total);
            const int distance = value > target ? value - target : target - value;
            if (distance < bestDistance) {
                bestDistance = distance;
                q.code[target] = static_cast<std::uint8_t>(code);
                q.value[target] = static_cast<std::uint8_t>(value);
            }
        }
    }
    return q;
}
constexpr auto MakeQuantisers() {
    std::array<std::array<Quantiser, 3>, 9> all{};
    for (int bits = 4; bits <= 8; ++bits) {
        for (int pbit = -1; pbit <= (bits < 8 ? 1 : -1); ++pbit)
            all[bits][pbit + 1] = MakeQuantiser(bits, pbit);
    }
    return all;
}
// Made when the program starts (about a million steps: more than a constant expression may take
// in every compiler).
const auto kQuantisers = MakeQuantisers();

// Mode 5 endpoints (7-bit codes) whose texels at index 1 (weight 21) give each 8-bit value
// exactly: one colour channel of a block of one colour.
struct SolidEntry {
    std::uint8_t code0, code1;
};
constexpr std::array<SolidEntry, 256> MakeSolidTable() {
    std::array<SolidEntry, 256> table{};
    std::array<int, 256> spread{};
    spread.fill(1 << 30);
    for (int c0 = 0; c0 < 128; ++c0) {
        for (int c1 = 0; c1 < 128; ++c1) {
            const int e0 = Widen(c0, 7), e1 = Widen(c1, 7);
            const int value = (43 * e0 + 21 * e1 + 32) >> 6;
            const int distance = e0 > e1 ? e0 - e1 : e1 - e0;
            if (distance < spread[value]) {
                spread[value] = distance;
                table[value] = {static_cast<std::uint8_t>(c0), static_cast<std::uint8_t>(c1)};
            }
        }
    }
    return table;
}
constexpr std::array<SolidEntry, 256> kSolid = MakeSolidTable();
constexpr bool SolidTableExact() {
    for (int v = 0; v < 256; ++v) {
        if (((43 * Widen(kSolid[v].code0, 7) + 21 * Widen(kSolid[v].code1, 7) + 32) >> 6) != v)
            return false;
    }
    return true;
}
static_assert(SolidTableExact(), "every 8-bit value has mode 5 endpoints that give it exactly");

// ---- Texels, subsets and their sums ----

// Channels of a texel: R G B A.
using Colour = std::array<int, 4>;

inline float Sum(__m128 v) {
    const __m128 pairs = _mm_add_ps(v, _mm_movehl_ps(v, v));
    return _mm_cvtss_f32(_mm_add_ss(pairs, _mm_shuffle_ps(pairs, pairs, 1)));
}

inline __m128 Floor(__m128 nonNegative) {
    return _mm_cvtepi32_ps(_mm_cvttps_epi32(nonNegative));
}

// The texels of one subset, channel by channel as floats (SIMD loads), padded to a multiple of
// four with copies of the first that count for nothing (valid 0).
struct Subset {
    alignas(16) float c[4][16];
    alignas(16) float valid[16];
    std::uint8_t texel[16];  // the block texel of each entry
    int count;
    int groups;  // of four entries
};

// The texels of a mask (bit t: texel t).
void Gather(const Colour* texels, unsigned mask, Subset& out) {
    int n = 0;
    for (int t = 0; t < 16; ++t) {
        if (((mask >> t) & 1u) == 0) continue;
        for (int c = 0; c < 4; ++c)
            out.c[c][n] = static_cast<float>(texels[t][c]);
        out.valid[n] = 1;
        out.texel[n++] = static_cast<std::uint8_t>(t);
    }
    out.count = n;
    out.groups = (n + 3) / 4;
    for (; (n & 3) != 0; ++n) {
        for (int c = 0; c < 4; ++c)
            out.c[c][n] = out.c[c][0];
        out.valid[n] = 0;
        out.texel[n] = out.texel[0];
    }
}

// Sums over a set of texels of channels 0..N-1, as vectors of four floats: each channel, the
// count, then the product of every pair of channels a <= b.
template <int N>
struct Moments {
    static constexpr int kVectors = (N + 1 + N * (N + 1) / 2 + 3) / 4;
    static constexpr int kCount = N;
    static constexpr int Product(int a, int b) {  // a <= b
        return N + 1 + a * N - a * (a - 1) / 2 + (b - a);
    }
    __m128 v[kVectors];
    float operator[](int i) const {
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, v[i / 4]);
        return lanes[i % 4];
    }
};

// The moments of every subset of every row of a block, so that a subset's moments take four
// look-ups: sums over the texels of a row for each of the 16 masks of its four texels.
template <int N>
struct BlockMoments {
    using M = Moments<N>;
    M rows[4][16];

    explicit BlockMoments(const Colour* texels) {
        alignas(16) float texel[16][4 * M::kVectors] = {};
        for (int t = 0; t < 16; ++t) {
            for (int a = 0; a < N; ++a) {
                texel[t][a] = static_cast<float>(texels[t][a]);
                for (int b = a; b < N; ++b)
                    texel[t][M::Product(a, b)] = static_cast<float>(texels[t][a] * texels[t][b]);
            }
            texel[t][M::kCount] = 1;
        }
        for (int r = 0; r < 4; ++r) {
            for (int k = 0; k < M::kVectors; ++k)
                rows[r][0].v[k] = _mm_setzero_ps();
            for (int mask = 1; mask < 16; ++mask) {
                const int t = 4 * r + std::countr_zero(static_cast<unsigned>(mask));
                for (int k = 0; k < M::kVectors; ++k) {
                    rows[r][mask].v[k] =
                        _mm_add_ps(rows[r][mask & (mask - 1)].v[k], _mm_load_ps(&texel[t][4 * k]));
                }
            }
        }
    }
    // The moments of the texels of a mask (bit t: texel t).
    M Of(unsigned mask) const {
        M m;
        for (int k = 0; k < M::kVectors; ++k) {
            m.v[k] =
                _mm_add_ps(_mm_add_ps(rows[0][mask & 15].v[k], rows[1][(mask >> 4) & 15].v[k]),
                           _mm_add_ps(rows[2][(mask >> 8) & 15].v[k], rows[3][mask >> 12].v[k]));
        }
        return m;
    }
};

// A subset's mean and scatter matrix from its moments.
template <int N>
void Scatter(const Moments<N>& m, float* mean, float (*cov)[4]) {
    const float inverseCount = 1.0f / m[Moments<N>::kCount];
    for (int a = 0; a < N; ++a)
        mean[a] = m[a] * inverseCount;
    for (int a = 0; a < N; ++a) {
        for (int b = a; b < N; ++b)
            cov[a][b] = cov[b][a] = m[Moments<N>::Product(a, b)] - m[a] * mean[b];
    }
}

// The line that fits a subset's texels best: the principal axis of channels [First, End)
// through their mean (unit length in axis), with its ends at the smallest and largest
// projections. The axis comes from power iteration on the scatter matrix.
template <int First, int End>
void PrincipalLine(const Subset& s, const float* mean, const float (*cov)[4], float* e0, float* e1,
                   float* axis) {
    int widest = First;
    for (int a = First; a < End; ++a) {
        if (cov[a][a] > cov[widest][widest]) widest = a;
    }
    for (int c = 0; c < 4; ++c)
        axis[c] = c >= First && c < End ? cov[c][widest] : 0;
    if (cov[widest][widest] <= 0) {
        std::copy(mean, mean + 4, e0);
        std::copy(mean, mean + 4, e1);
        return;
    }
    for (int round = 0; round < 3; ++round) {
        float next[4] = {}, largest = 0;
        for (int a = First; a < End; ++a) {
            for (int b = First; b < End; ++b)
                next[a] += cov[a][b] * axis[b];
            largest = std::max(largest, std::abs(next[a]));
        }
        if (largest <= 0) break;
        const float inverse = 1.0f / largest;
        for (int c = First; c < End; ++c)
            axis[c] = next[c] * inverse;
    }
    float length = 0;
    for (int c = First; c < End; ++c)
        length += axis[c] * axis[c];
    const float inverseLength = 1.0f / std::sqrt(length);
    float offset = 0;
    for (int c = First; c < End; ++c) {
        axis[c] *= inverseLength;
        offset += mean[c] * axis[c];
    }
    // Padding copies a texel, so it never widens the range.
    __m128 low = _mm_set1_ps(1e30f), high = _mm_set1_ps(-1e30f);
    for (int g = 0; g < s.groups; ++g) {
        __m128 t = _mm_setzero_ps();
        for (int c = First; c < End; ++c)
            t = _mm_add_ps(t, _mm_mul_ps(_mm_load_ps(&s.c[c][4 * g]), _mm_set1_ps(axis[c])));
        low = _mm_min_ps(low, t);
        high = _mm_max_ps(high, t);
    }
    low = _mm_min_ps(low, _mm_movehl_ps(low, low));
    low = _mm_min_ss(low, _mm_shuffle_ps(low, low, 1));
    high = _mm_max_ps(high, _mm_movehl_ps(high, high));
    high = _mm_max_ss(high, _mm_shuffle_ps(high, high, 1));
    const float tLow = _mm_cvtss_f32(low) - offset, tHigh = _mm_cvtss_f32(high) - offset;
    for (int c = First; c < End; ++c) {
        e0[c] = std::clamp(mean[c] + axis[c] * tLow, 0.0f, 255.0f);
        e1[c] = std::clamp(mean[c] + axis[c] * tHigh, 0.0f, 255.0f);
    }
}

// ---- Fitting one subset ----

// How a mode stores one subset's endpoints: stored bits per channel (0 where the mode has none)
// and its p-bits.
struct Rule {
    int bits[4];
    PBits pbits;
};

// Which p-bits a fit tries: those whose quantised ends lie nearest the unquantised ones, or
// every choice on the first fit of a subset (least-squares rounds keep to the nearest), or on
// every fit.
enum class PBitSearch { Nearest, FirstFit, EveryFit };

// How hard a level tries; each setting was chosen by what it gave on photographs (dB) for what
// it cost (time).
struct Effort {
    int refinements;  // least-squares rounds after the first fit of a subset
    PBitSearch pbits;
    int nudges;           // rounds of moving single endpoint fields one step (see Nudge)
    int partitions2;      // best-ranked partitions fitted in two-subset modes (1, 3, 7)
    int partitions3;      // in three-subset modes (0, 2); 0: none
    int rotations;        // opaque blocks: mode 5 rotations tried, likeliest first
    bool everyAlphaMode;  // blocks with alpha: modes 4 and 5 in every rotation and selection
};
constexpr Effort kFast = {1, PBitSearch::FirstFit, 0, 1, 0, 1, false};
constexpr Effort kBest = {2, PBitSearch::EveryFit, 2, 4, 2, 3, true};

struct SubsetFit {
    int code[2][4];  // stored endpoint fields, without p-bits
    int pbit[2];
    int value[2][4];  // the endpoints widened to 8 bits
    std::uint8_t index[16];
    int error = INT_MAX;
};

// Quantises end source (floats) to stored fields with p-bit p (-1: none) into endpoint e of
// fit; returns the squared distance over channels [First, End). Channels outside them that the
// mode stores are alpha kept at 255 (p-bit 1).
template <int First, int End>
int QuantiseEnd(const float* source, const Rule& rule, int p, int e, SubsetFit& fit) {
    int distance = 0;
    fit.pbit[e] = std::max(p, 0);
    for (int c = 0; c < 4; ++c) {
        if (c >= First && c < End) {
            const Quantiser& q = kQuantisers[rule.bits[c]][p + 1];
            const int target = static_cast<int>(source[c] + 0.5f);
            fit.code[e][c] = q.code[target];
            fit.value[e][c] = q.value[target];
            distance += (fit.value[e][c] - target) * (fit.value[e][c] - target);
        } else {
            fit.code[e][c] = rule.bits[c] == 0 ? 0 : kQuantisers[rule.bits[c]][p + 1].code[255];
            fit.value[e][c] = 255;
        }
    }
    return distance;
}

// Squared error of four texels (one group of a subset) at index k, for the widened ends.
template <int First, int End>
inline __m128 ErrorAt(const Subset& s, int g, __m128 k, const float* e0, const float* e1,
                      __m128 weightStep) {
    // The weight of index k is k 64 / levels rounded, for every index width.
    const __m128 w = Floor(_mm_add_ps(_mm_mul_ps(k, weightStep), _mm_set1_ps(0.5f)));
    const __m128 w0 = _mm_sub_ps(_mm_set1_ps(64), w);
    __m128 error = _mm_setzero_ps();
    for (int c = First; c < End; ++c) {
        const __m128 mixed = _mm_add_ps(
            _mm_add_ps(_mm_mul_ps(w0, _mm_set1_ps(e0[c])), _mm_mul_ps(w, _mm_set1_ps(e1[c]))),
            _mm_set1_ps(32));
        const __m128 decoded = Floor(_mm_mul_ps(mixed, _mm_set1_ps(1.0f / 64)));
        const __m128 diff = _mm_sub_ps(decoded, _mm_load_ps(&s.c[c][4 * g]));
        error = _mm_add_ps(error, _mm_mul_ps(diff, diff));
    }
    return error;
}

// Gives every texel the index of the weight nearest its projection onto the line between the
// widened endpoints; returns the squared error over the fit's channels. Exact: every value is an
// integer below 2^24.
template <int First, int End>
int AssignIndices(const Subset& s, const int (*value)[4], int indexBits, std::uint8_t* index) {
    const int levels = (1 << indexBits) - 1;
    float e0[4], e1[4], d[4];
    float length = 0;
    for (int c = First; c < End; ++c) {
        e0[c] = static_cast<float>(value[0][c]);
        e1[c] = static_cast<float>(value[1][c]);
        d[c] = e1[c] - e0[c];
        length += d[c] * d[c];
    }
    const __m128 scale = _mm_set1_ps(length > 0 ? static_cast<float>(levels) / length : 0.0f);
    const __m128 top = _mm_set1_ps(static_cast<float>(levels));
    const __m128 weightStep = _mm_set1_ps(64.0f / static_cast<float>(levels));
    __m128 total = _mm_setzero_ps();
    alignas(16) std::int32_t chosen[16];
    for (int g = 0; g < s.groups; ++g) {
        __m128 t = _mm_setzero_ps();
        for (int c = First; c < End; ++c) {
            const __m128 offset = _mm_sub_ps(_mm_load_ps(&s.c[c][4 * g]), _mm_set1_ps(e0[c]));
            t = _mm_add_ps(t, _mm_mul_ps(offset, _mm_set1_ps(d[c])));
        }
        __m128 k = _mm_add_ps(_mm_mul_ps(t, scale), _mm_set1_ps(0.5f));
        k = Floor(_mm_min_ps(_mm_max_ps(k, _mm_setzero_ps()), top));
        const __m128 error = ErrorAt<First, End>(s, g, k, e0, e1, weightStep);
        total = _mm_add_ps(total, _mm_mul_ps(error, _mm_load_ps(&s.valid[4 * g])));
        _mm_store_si128(reinterpret_cast<__m128i*>(&chosen[4 * g]), _mm_cvttps_epi32(k));
    }
    for (int i = 0; i < 4 * s.groups; ++i)
        index[i] = static_cast<std::uint8_t>(chosen[i]);
    return static_cast<int>(Sum(total));
}

// The ends that minimise the squared error for the texels' current weights; false when every
// texel has the same weight.
template <int First, int End>
bool LeastSquaresEnds(const Subset& s, const std::uint8_t* index, int indexBits, float* e0,
                      float* e1) {
    const std::uint8_t* weights = Weights(indexBits);
    alignas(16) float weight[16];
    for (int i = 0; i < 4 * s.groups; ++i)
        weight[i] = static_cast<float>(weights[index[i]]) * (1.0f / 64);
    const __m128 zero = _mm_setzero_ps();
    __m128 aa = zero, ab = zero, bb = zero;
    __m128 x0[4] = {zero, zero, zero, zero}, x1[4] = {zero, zero, zero, zero};
    for (int g = 0; g < s.groups; ++g) {
        const __m128 valid = _mm_load_ps(&s.valid[4 * g]);
        const __m128 b = _mm_mul_ps(_mm_load_ps(&weight[4 * g]), valid);
        const __m128 a = _mm_sub_ps(valid, b);
        aa = _mm_add_ps(aa, _mm_mul_ps(a, a));
        ab = _mm_add_ps(ab, _mm_mul_ps(a, b));
        bb = _mm_add_ps(bb, _mm_mul_ps(b, b));
        for (int c = First; c < End; ++c) {
            const __m128 p = _mm_load_ps(&s.c[c][4 * g]);
            x0[c] = _mm_add_ps(x0[c], _mm_mul_ps(a, p));
            x1[c] = _mm_add_ps(x1[c], _mm_mul_ps(b, p));
        }
    }
    const float sumAA = Sum(aa), sumAB = Sum(ab), sumBB = Sum(bb);
    const float det = sumAA * sumBB - sumAB * sumAB;
    if (det < 1e-3f) return false;
    const float inverse = 1.0f / det;
    for (int c = First; c < End; ++c) {
        const float s0 = Sum(x0[c]), s1 = Sum(x1[c]);
        e0[c] = std::clamp((sumBB * s0 - sumAB * s1) * inverse, 0.0f, 255.0f);
        e1[c] = std::clamp((sumAA * s1 - sumAB * s0) * inverse, 0.0f, 255.0f);
    }
    return true;
}

// Quantises ends e0, e1 and fits indices to them; keeps the result in best if it is closer.
template <int First, int End>
void TryEnds(const Subset& s, const Rule& rule, int indexBits, bool everyPBit, const float* e0,
             const float* e1, SubsetFit& best) {
    const auto tryFit = [&](SubsetFit& trial) {
        trial.error = AssignIndices<First, End>(s, trial.value, indexBits, trial.index);
        if (trial.error < best.error) best = trial;
    };
    // Opaque texels in a mode whose p-bit also ends alpha: p-bit 1 keeps alpha at 255.
    const bool opaquePBit = rule.pbits != PBits::None && End == 3 && rule.bits[3] != 0;
    SubsetFit trial;
    if (rule.pbits == PBits::None || opaquePBit) {
        const int p = rule.pbits == PBits::None ? -1 : 1;
        QuantiseEnd<First, End>(e0, rule, p, 0, trial);
        QuantiseEnd<First, End>(e1, rule, p, 1, trial);
        tryFit(trial);
        return;
    }
    // Both ends with each p-bit.
    SubsetFit with[2];
    int distance[2][2];
    for (int p = 0; p < 2; ++p) {
        distance[0][p] = QuantiseEnd<First, End>(e0, rule, p, 0, with[p]);
        distance[1][p] = QuantiseEnd<First, End>(e1, rule, p, 1, with[p]);
    }
    const auto combine = [&](int p0, int p1) {
        trial = with[p1];
        std::copy(with[p0].code[0], with[p0].code[0] + 4, trial.code[0]);
        std::copy(with[p0].value[0], with[p0].value[0] + 4, trial.value[0]);
        trial.pbit[0] = p0;
        tryFit(trial);
    };
    if (rule.pbits == PBits::Shared) {
        if (everyPBit) {
            tryFit(with[0]);
            tryFit(with[1]);
        } else {
            tryFit(with[distance[0][1] + distance[1][1] < distance[0][0] + distance[1][0] ? 1 : 0]);
        }
    } else if (everyPBit) {
        for (int p = 0; p < 4; ++p)
            combine(p & 1, p >> 1);
    } else {
        // The p-bits whose quantised ends lie nearest the unquantised ones.
        combine(distance[0][1] < distance[0][0] ? 1 : 0, distance[1][1] < distance[1][0] ? 1 : 0);
    }
}

// Moves one endpoint field at a time by one step while that lowers the error: rounding each
// field of the least-squares ends to its nearest code is not always the best choice.
template <int First, int End>
void Nudge(const Subset& s, const Rule& rule, int indexBits, int rounds, SubsetFit& best) {
    for (int round = 0; round < rounds && best.error > 0; ++round) {
        const int before = best.error;
        for (int e = 0; e < 2; ++e) {
            for (int c = First; c < End; ++c) {
                const int bits = rule.bits[c];
                for (const int step : {-1, 1}) {
                    const int code = best.code[e][c] + step;
                    if (code < 0 || code >= (1 << bits)) continue;
                    SubsetFit trial = best;
                    trial.code[e][c] = code;
                    trial.value[e][c] = rule.pbits == PBits::None
                                            ? Widen(code, bits)
                                            : Widen((code << 1) | trial.pbit[e], bits + 1);
                    trial.error = AssignIndices<First, End>(s, trial.value, indexBits, trial.index);
                    if (trial.error < best.error) best = trial;
                }
            }
        }
        if (best.error >= before) break;
    }
}

// Fits a subset from the ends of its principal line: quantise, assign, then least squares on
// the weights while the error falls, then nudges.
template <int First, int End>
SubsetFit FitSubset(const Subset& s, const Rule& rule, int indexBits, const Effort& effort,
                    const float* start0, const float* start1) {
    float e0[4], e1[4];
    std::copy(start0, start0 + 4, e0);
    std::copy(start1, start1 + 4, e1);
    SubsetFit best;
    TryEnds<First, End>(s, rule, indexBits, effort.pbits != PBitSearch::Nearest, e0, e1, best);
    for (int round = 0; round < effort.refinements && best.error > 0; ++round) {
        if (!LeastSquaresEnds<First, End>(s, best.index, indexBits, e0, e1)) break;
        const int before = best.error;
        TryEnds<First, End>(s, rule, indexBits, effort.pbits == PBitSearch::EveryFit, e0, e1, best);
        if (best.error >= before) break;
    }
    Nudge<First, End>(s, rule, indexBits, effort.nudges, best);
    return best;
}

// ---- Ranking partitions ----

// The texels of each subset of each partition, one bit a texel.
struct SubsetMasks {
    std::uint16_t of[64][3];
};
constexpr SubsetMasks MakeSubsetMasks(int subsets) {
    SubsetMasks masks{};
    for (int p = 0; p < 64; ++p) {
        for (int t = 0; t < 16; ++t)
            masks.of[p][kSubsetMaps.of[subsets - 1][p][t]] |= static_cast<std::uint16_t>(1u << t);
    }
    return masks;
}
constexpr SubsetMasks kSubsetMasks[3] = {MakeSubsetMasks(1), MakeSubsetMasks(2),
                                         MakeSubsetMasks(3)};

// The squared distance of a subset's texels from the best line through them (the scatter's
// trace less its largest eigenvalue), for four partitions at once from their moments, moment by
// moment. The eigenvalue is estimated by two steps of power iteration from the block's principal
// axis.
template <int N>
__m128 LineError(const __m128* m, const float* axis) {
    using M = Moments<N>;
    const __m128 inverseCount = _mm_div_ps(_mm_set1_ps(1), m[M::kCount]);
    __m128 cov[4][4];
    __m128 trace = _mm_setzero_ps();
    for (int a = 0; a < N; ++a) {
        for (int b = a; b < N; ++b) {
            cov[a][b] = cov[b][a] =
                _mm_sub_ps(m[M::Product(a, b)], _mm_mul_ps(_mm_mul_ps(m[a], m[b]), inverseCount));
        }
        trace = _mm_add_ps(trace, cov[a][a]);
    }
    __m128 v[4], w[4];
    for (int a = 0; a < N; ++a) {
        v[a] = _mm_setzero_ps();
        for (int b = 0; b < N; ++b)
            v[a] = _mm_add_ps(v[a], _mm_mul_ps(cov[a][b], _mm_set1_ps(axis[b])));
    }
    __m128 vv = _mm_set1_ps(1e-9f), vw = _mm_setzero_ps();
    for (int a = 0; a < N; ++a) {
        w[a] = _mm_setzero_ps();
        for (int b = 0; b < N; ++b)
            w[a] = _mm_add_ps(w[a], _mm_mul_ps(cov[a][b], v[b]));
        vv = _mm_add_ps(vv, _mm_mul_ps(v[a], v[a]));
        vw = _mm_add_ps(vw, _mm_mul_ps(v[a], w[a]));
    }
    return _mm_sub_ps(trace, _mm_div_ps(vw, vv));
}

// Ranks the partitions of a two- or three-subset mode by the squared error of the best
// unquantised line through each subset, and returns the first keep of them, best first.
template <int N>
int RankPartitions(const BlockMoments<N>& moments, const float* axis, int subsets, int partitions,
                   int keep, int* out) {
    constexpr int V = Moments<N>::kVectors;
    const SubsetMasks& masks = kSubsetMasks[subsets - 1];
    alignas(16) float score[64];
    const Moments<N> total = moments.Of(0xFFFF);
    for (int p0 = 0; p0 < partitions; p0 += 4) {
        // Moment by moment, the four partitions across; subset 0 holds what the others leave.
        __m128 across[3][4 * V];
        for (int k = 0; k < 4 * V; ++k)
            across[0][k] = _mm_set1_ps(total[k]);
        for (int s = 1; s < subsets; ++s) {
            Moments<N> lanes[4];
            for (int j = 0; j < 4; ++j)
                lanes[j] = moments.Of(masks.of[p0 + j][s]);
            for (int k = 0; k < V; ++k) {
                _MM_TRANSPOSE4_PS(lanes[0].v[k], lanes[1].v[k], lanes[2].v[k], lanes[3].v[k]);
                for (int j = 0; j < 4; ++j) {
                    across[s][4 * k + j] = lanes[j].v[k];
                    across[0][4 * k + j] = _mm_sub_ps(across[0][4 * k + j], lanes[j].v[k]);
                }
            }
        }
        __m128 error = LineError<N>(across[0], axis);
        for (int s = 1; s < subsets; ++s)
            error = _mm_add_ps(error, LineError<N>(across[s], axis));
        _mm_store_ps(&score[p0], error);
    }
    // The keep lowest scores, lower partition numbers first among equals.
    keep = std::min(keep, partitions);
    int kept = 0;
    for (int p = 0; p < partitions; ++p) {
        int at = kept;
        while (at > 0 && score[p] < score[out[at - 1]])
            --at;
        if (at >= keep) continue;
        for (int i = std::min(kept, keep - 1); i > at; --i)
            out[i] = out[i - 1];
        out[at] = p;
        kept = std::min(kept + 1, keep);
    }
    return kept;
}

// ---- Candidates and packing ----

struct Candidate {
    int mode = -1, partition = 0, rotation = 0, indexSelection = 0;
    int code[6][4] = {};
    int pbit[6] = {};
    std::uint8_t index[16] = {};
    std::uint8_t secondIndex[16] = {};
    int error = INT_MAX;
};

class BitWriter {
  public:
    void Put(std::uint32_t value, int count) {
        const std::uint64_t v = value;
        if (position_ < 64) {
            low_ |= v << position_;
            if (position_ + count > 64) high_ |= v >> (64 - position_);
        } else {
            high_ |= v << (position_ - 64);
        }
        position_ += count;
    }
    void Store(std::uint8_t* block) const {
        std::memcpy(block, &low_, 8);
        std::memcpy(block + 8, &high_, 8);
    }

  private:
    std::uint64_t low_ = 0, high_ = 0;
    int position_ = 0;
};

// Swaps a subset's endpoints (and mirrors its indices) where its anchor's index has the top bit
// set, which the block cannot store.
void FixAnchors(Candidate& c) {
    const Mode& mode = kModes[c.mode];
    const std::uint8_t* subsetOf = kSubsetMaps.of[mode.subsets - 1][c.partition];
    const auto mirror = [](std::uint8_t* index, int bits, const std::uint8_t* map, int subset) {
        const int levels = (1 << bits) - 1;
        for (int t = 0; t < 16; ++t) {
            if (map[t] == subset) index[t] = static_cast<std::uint8_t>(levels - index[t]);
        }
    };
    if (mode.secondIndexBits != 0) {
        const int colourBits = c.indexSelection ? mode.secondIndexBits : mode.indexBits;
        const int alphaBits = c.indexSelection ? mode.indexBits : mode.secondIndexBits;
        std::uint8_t* colour = c.indexSelection ? c.secondIndex : c.index;
        std::uint8_t* alpha = c.indexSelection ? c.index : c.secondIndex;
        if (colour[0] >> (colourBits - 1)) {
            for (int ch = 0; ch < 3; ++ch)
                std::swap(c.code[0][ch], c.code[1][ch]);
            mirror(colour, colourBits, subsetOf, 0);
        }
        if (alpha[0] >> (alphaBits - 1)) {
            std::swap(c.code[0][3], c.code[1][3]);
            mirror(alpha, alphaBits, subsetOf, 0);
        }
        return;
    }
    for (int s = 0; s < mode.subsets; ++s) {
        if ((c.index[Anchor(mode.subsets, c.partition, s)] >> (mode.indexBits - 1)) == 0) continue;
        std::swap(c.code[2 * s], c.code[2 * s + 1]);
        std::swap(c.pbit[2 * s], c.pbit[2 * s + 1]);
        mirror(c.index, mode.indexBits, subsetOf, s);
    }
}

void Pack(Candidate c, std::uint8_t* block) {
    FixAnchors(c);
    const Mode& mode = kModes[c.mode];
    BitWriter out;
    out.Put(1u << c.mode, c.mode + 1);
    out.Put(static_cast<std::uint32_t>(c.partition), mode.partitionBits);
    out.Put(static_cast<std::uint32_t>(c.rotation), mode.rotationBits);
    out.Put(static_cast<std::uint32_t>(c.indexSelection), mode.indexSelectionBits);
    const int endpoints = 2 * mode.subsets;
    for (int ch = 0; ch < 4; ++ch) {
        const int bits = ch < 3 ? mode.colourBits : mode.alphaBits;
        for (int e = 0; e < endpoints && bits != 0; ++e)
            out.Put(static_cast<std::uint32_t>(c.code[e][ch]), bits);
    }
    if (mode.pbits == PBits::PerEndpoint) {
        for (int e = 0; e < endpoints; ++e)
            out.Put(static_cast<std::uint32_t>(c.pbit[e]), 1);
    } else if (mode.pbits == PBits::Shared) {
        for (int s = 0; s < mode.subsets; ++s)
            out.Put(static_cast<std::uint32_t>(c.pbit[2 * s]), 1);
    }
    std::uint16_t anchors = 1;
    for (int s = 1; s < mode.subsets; ++s)
        anchors |= static_cast<std::uint16_t>(1u << Anchor(mode.subsets, c.partition, s));
    for (int t = 0; t < 16; ++t)
        out.Put(c.index[t], mode.indexBits - ((anchors >> t) & 1));
    for (int t = 0; t < 16 && mode.secondIndexBits != 0; ++t)
        out.Put(c.secondIndex[t], mode.secondIndexBits - (t == 0 ? 1 : 0));
    out.Store(block);
}

// ---- Modes ----

// One partition's subsets and the principal line of each.
struct Split {
    int partition, subsets;
    Subset subset[3];
    float e0[3][4], e1[3][4], axis[3][4];
};

template <int N>
void MakeSplit(const Colour* texels, const BlockMoments<N>& moments, int subsets, int partition,
               Split& split) {
    split.partition = partition;
    split.subsets = subsets;
    for (int k = 0; k < subsets; ++k) {
        const unsigned mask = kSubsetMasks[subsets - 1].of[partition][k];
        Gather(texels, mask, split.subset[k]);
        float mean[4] = {}, cov[4][4] = {};
        Scatter<N>(moments.Of(mask), mean, cov);
        PrincipalLine<0, N>(split.subset[k], mean, cov, split.e0[k], split.e1[k], split.axis[k]);
    }
}

// Fits a mode with one endpoint pair per subset (0-3, 6, 7) on a split; keeps it in best if
// closer. N = 3: the texels are opaque, and modes with alpha keep it at 255.
template <int N>
void TrySplit(const Split& split, int modeNumber, const Effort& effort, Candidate& best) {
    const Mode& mode = kModes[modeNumber];
    const Rule rule = {{mode.colourBits, mode.colourBits, mode.colourBits, mode.alphaBits},
                       mode.pbits};
    Candidate c;
    c.mode = modeNumber;
    c.partition = split.partition;
    c.error = 0;
    for (int k = 0; k < split.subsets; ++k) {
        const Subset& s = split.subset[k];
        const SubsetFit fit =
            FitSubset<0, N>(s, rule, mode.indexBits, effort, split.e0[k], split.e1[k]);
        c.error += fit.error;
        if (c.error >= best.error) return;
        for (int e = 0; e < 2; ++e) {
            std::copy(fit.code[e], fit.code[e] + 4, c.code[2 * k + e]);
            c.pbit[2 * k + e] = fit.pbit[e];
        }
        for (int i = 0; i < s.count; ++i)
            c.index[s.texel[i]] = fit.index[i];
    }
    best = c;
}

// Fits mode 4 or 5: colour and one other channel (alpha, or the colour channel the rotation
// swaps with alpha) each with endpoints and indices of their own.
void TrySeparateAlpha(const Subset& whole, const float* wholeMean, const float (*wholeCov)[4],
                      int modeNumber, int rotation, int indexSelection, const Effort& effort,
                      Candidate& best) {
    const Mode& mode = kModes[modeNumber];
    // The rotation exchanges alpha with a colour channel: so do the texels and their scatter.
    int channel[4] = {0, 1, 2, 3};
    if (rotation != 0) std::swap(channel[3], channel[rotation - 1]);
    Subset s;
    float mean[4], cov[4][4];
    for (int a = 0; a < 4; ++a) {
        std::copy(whole.c[channel[a]], whole.c[channel[a]] + 16, s.c[a]);
        mean[a] = wholeMean[channel[a]];
        for (int b = 0; b < 4; ++b)
            cov[a][b] = wholeCov[channel[a]][channel[b]];
    }
    std::copy(whole.valid, whole.valid + 16, s.valid);
    s.count = whole.count;
    s.groups = whole.groups;
    const int colourIndexBits = indexSelection ? mode.secondIndexBits : mode.indexBits;
    const int alphaIndexBits = indexSelection ? mode.indexBits : mode.secondIndexBits;
    const Rule colourRule = {{mode.colourBits, mode.colourBits, mode.colourBits, 0}, PBits::None};
    const Rule alphaRule = {{0, 0, 0, mode.alphaBits}, PBits::None};
    float e0[4] = {}, e1[4] = {}, axis[4];
    PrincipalLine<3, 4>(s, mean, cov, e0, e1, axis);
    const SubsetFit alpha = FitSubset<3, 4>(s, alphaRule, alphaIndexBits, effort, e0, e1);
    if (alpha.error >= best.error) return;
    PrincipalLine<0, 3>(s, mean, cov, e0, e1, axis);
    const SubsetFit colour = FitSubset<0, 3>(s, colourRule, colourIndexBits, effort, e0, e1);
    if (alpha.error + colour.error >= best.error) return;
    Candidate c;
    c.mode = modeNumber;
    c.rotation = rotation;
    c.indexSelection = indexSelection;
    c.error = alpha.error + colour.error;
    for (int e = 0; e < 2; ++e) {
        std::copy(colour.code[e], colour.code[e] + 3, c.code[e]);
        c.code[e][3] = alpha.code[e][3];
    }
    std::copy(colour.index, colour.index + 16, indexSelection ? c.secondIndex : c.index);
    std::copy(alpha.index, alpha.index + 16, indexSelection ? c.index : c.secondIndex);
    best = c;
}

// Fits the best-ranked partitions of the given two- or three-subset modes.
template <int N>
void TryPartitions(const Colour* texels, const BlockMoments<N>& moments, const float* axis,
                   int subsets, int partitions, int keep, std::initializer_list<int> modes,
                   const Effort& effort, Candidate& best) {
    int ranked[64];
    const int count = RankPartitions<N>(moments, axis, subsets, partitions, keep, ranked);
    Split split;
    for (int i = 0; i < count; ++i) {
        MakeSplit<N>(texels, moments, subsets, ranked[i], split);
        for (const int mode : modes)
            TrySplit<N>(split, mode, effort, best);
    }
}

// The rotations of mode 5 for an opaque block, likeliest first: a colour channel is worth
// keeping apart when much of its spread lies off the block's principal axis.
void RankRotations(const float (*cov)[4], const float* axis, int* order) {
    float along[3] = {}, spread = 0, offAxis[3];
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b)
            along[a] += cov[a][b] * axis[b];
        spread += axis[a] * along[a];
    }
    for (int c = 0; c < 3; ++c) {
        offAxis[c] = cov[c][c] - 2 * axis[c] * along[c] + axis[c] * axis[c] * spread;
        order[c] = c + 1;
    }
    std::stable_sort(order, order + 3,
                     [&](int a, int b) { return offAxis[a - 1] > offAxis[b - 1]; });
}

void EncodeSolid(const Colour& colour, std::uint8_t* block) {
    Candidate c;
    c.mode = 5;
    for (int e = 0; e < 2; ++e) {
        for (int ch = 0; ch < 3; ++ch) {
            c.code[e][ch] = e == 0 ? kSolid[colour[ch]].code0 : kSolid[colour[ch]].code1;
        }
        c.code[e][3] = colour[3];
    }
    std::fill_n(c.index, 16, 1);
    Pack(c, block);
}

// N = 3: an opaque block; N = 4: a block with alpha.
template <int N>
void EncodeBlock(const Colour* texels, const Effort& effort, Candidate& best) {
    constexpr bool kOpaque = N == 3;
    const BlockMoments<N> moments(texels);
    Split whole;
    MakeSplit<N>(texels, moments, 1, 0, whole);
    // The block's scatter over all four channels (alpha constant when opaque).
    float mean[4] = {0, 0, 0, 255}, cov[4][4] = {};
    Scatter<N>(moments.Of(0xFFFF), mean, cov);
    TrySplit<N>(whole, 6, effort, best);
    if (best.error == 0) return;
    const float* axis = whole.axis[0];
    if constexpr (kOpaque) {
        TryPartitions<N>(texels, moments, axis, 2, 64, effort.partitions2, {1, 3}, effort, best);
        if (effort.partitions3 > 0) {
            TryPartitions<N>(texels, moments, axis, 3, 16, effort.partitions3, {0}, effort, best);
            TryPartitions<N>(texels, moments, axis, 3, 64, effort.partitions3, {2}, effort, best);
        }
        if (effort.rotations > 0) {
            int order[3];
            RankRotations(cov, axis, order);
            for (int i = 0; i < effort.rotations; ++i)
                TrySeparateAlpha(whole.subset[0], mean, cov, 5, order[i], 0, effort, best);
        }
    }
    if constexpr (!kOpaque) {
        const Subset& all = whole.subset[0];
        for (int rotation = 0; rotation < (effort.everyAlphaMode ? 4 : 1); ++rotation) {
            TrySeparateAlpha(all, mean, cov, 5, rotation, 0, effort, best);
            TrySeparateAlpha(all, mean, cov, 4, rotation, 0, effort, best);
            if (effort.everyAlphaMode)
                TrySeparateAlpha(all, mean, cov, 4, rotation, 1, effort, best);
        }
        TryPartitions<N>(texels, moments, axis, 2, 64, effort.partitions2, {7}, effort, best);
    }
}

}  // namespace

void EncodeBc7Block(const std::uint8_t* bgra, EncodeLevel level, std::uint8_t* block) {
    Colour texels[16];
    bool opaque = true, solid = true;
    for (int t = 0; t < 16; ++t) {
        const std::uint8_t* px = bgra + 4 * t;
        texels[t] = {px[2], px[1], px[0], px[3]};
        opaque = opaque && px[3] == 255;
        solid = solid && std::memcmp(px, bgra, 4) == 0;
    }
    if (solid) {
        EncodeSolid(texels[0], block);
        return;
    }
    const Effort& effort = level == EncodeLevel::Best ? kBest : kFast;
    Candidate best;
    if (opaque) {
        EncodeBlock<3>(texels, effort, best);
    } else {
        EncodeBlock<4>(texels, effort, best);
    }
    Pack(best, block);
}

}  // namespace tintora
