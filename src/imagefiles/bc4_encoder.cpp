// The one-channel block encoder. A block is e0 (byte 0), e1 (byte 1) and 48 bits of indices,
// three a texel, texel 0 in the lowest bits.
//
// Eight values (e0 > e1): from the block's minimum and maximum, least-squares rounds while they
// lower the error. Six values and the fixed 0 and 255 (e0 <= e1), when the block reaches within
// kNearEnd of 0 or 255: the same from the minimum and maximum of the values between, the others
// left to 0 and 255. Indices are the nearest palette entries, all sixteen texels at once in the
// bytes of one SSE2 register; errors are exact integer sums. Best also searches endpoints within
// kSearch of the refined ones, in both modes.
#include "imagefiles/bc4_encoder.h"

#include <emmintrin.h>

#include <algorithm>

namespace tintora {
namespace {

// Six-value blocks are tried when the block comes this close to 0 or 255 (Fast), and their
// endpoints then span the values from kNearEnd to 255 - kNearEnd.
constexpr int kNearEnd = 8;
// How far Best moves each endpoint around its refined value.
constexpr int kSearch = 2;

struct Fit {
    int e0 = 0, e1 = 0;
    int error = 0;
    __m128i indices = _mm_setzero_si128();  // one byte a texel
};

// The palette by index, as the decoder computes it.
void MakePalette(int e0, int e1, int p[8]) {
    p[0] = e0;
    p[1] = e1;
    if (e0 > e1) {
        for (int i = 1; i <= 6; ++i)
            p[i + 1] = ((7 - i) * e0 + i * e1) / 7;
    } else {
        for (int i = 1; i <= 4; ++i)
            p[i + 1] = ((5 - i) * e0 + i * e1) / 5;
        p[6] = 0;
        p[7] = 255;
    }
}

// A byte in every lane (movd and pshufd, where a byte broadcast takes four steps on SSE2).
__m128i Broadcast(int byte) {
    return _mm_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(byte) * 0x01010101u));
}

__m128i AbsoluteDifference(__m128i a, __m128i b) {
    return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}

int HorizontalSum(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(v);
}

// Every texel at its nearest entry (the first of equals): the indices and the squared error.
// The distances to all entries first, then their minimum and the first index that has it, as
// trees of independent steps.
Fit Candidate(__m128i x, int e0, int e1) {
    int p[8];
    MakePalette(e0, e1, p);
    __m128i d[8];
    for (int k = 0; k < 8; ++k)
        d[k] = AbsoluteDifference(x, Broadcast(p[k]));
    const __m128i best = _mm_min_epu8(
        _mm_min_epu8(_mm_min_epu8(d[0], d[1]), _mm_min_epu8(d[2], d[3])),
        _mm_min_epu8(_mm_min_epu8(d[4], d[5]), _mm_min_epu8(d[6], d[7])));
    __m128i first[8];  // k where entry k is at the least distance, 255 elsewhere
    for (int k = 0; k < 8; ++k) {
        first[k] = _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi8(d[k], best), _mm_set1_epi8(-1)),
                                Broadcast(k));
    }
    const __m128i index = _mm_min_epu8(
        _mm_min_epu8(_mm_min_epu8(first[0], first[1]), _mm_min_epu8(first[2], first[3])),
        _mm_min_epu8(_mm_min_epu8(first[4], first[5]), _mm_min_epu8(first[6], first[7])));
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_unpacklo_epi8(best, zero), high = _mm_unpackhi_epi8(best, zero);
    Fit fit;
    fit.e0 = e0;
    fit.e1 = e1;
    fit.error = HorizontalSum(_mm_add_epi32(_mm_madd_epi16(low, low), _mm_madd_epi16(high, high)));
    fit.indices = index;
    return fit;
}

// Sum of the 16 bytes.
int ByteSum(__m128i v) {
    const __m128i sums = _mm_sad_epu8(v, _mm_setzero_si128());
    return _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
}

// Sum of the products of the 16 byte pairs (bytes below 256, products below 2^16).
int ByteDot(__m128i a, __m128i b) {
    const __m128i zero = _mm_setzero_si128();
    return HorizontalSum(
        _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                      _mm_madd_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero))));
}

// The least-squares endpoints for a fit's indices, rounded, in its mode's order; false when
// the indices leave them open. A texel at position w of s steps from e0 to e1 (s = 7 with
// eight values, 5 with six, whose 0 and 255 take no part) weighs s - w on e0 and w on e1.
bool Solve(__m128i x, const Fit& fit, int& e0, int& e1) {
    const bool eight = fit.e0 > fit.e1;
    const int s = eight ? 7 : 5;
    const __m128i index = fit.indices;
    // Index 0 lies at 0, index 1 at s, index i >= 2 at i - 1.
    __m128i w = _mm_sub_epi8(index, _mm_set1_epi8(1));
    w = _mm_andnot_si128(_mm_cmpeq_epi8(index, _mm_setzero_si128()), w);
    const __m128i atEnd = _mm_cmpeq_epi8(index, _mm_set1_epi8(1));
    w = _mm_or_si128(_mm_andnot_si128(atEnd, w),
                     _mm_and_si128(atEnd, _mm_set1_epi8(static_cast<char>(s))));
    __m128i used = _mm_set1_epi8(-1);
    if (!eight) used = _mm_cmplt_epi8(index, _mm_set1_epi8(6));
    w = _mm_and_si128(w, used);
    const __m128i xu = _mm_and_si128(x, used);
    const double n = ByteSum(_mm_and_si128(used, _mm_set1_epi8(1)));
    const double sw = ByteSum(w), sww = ByteDot(w, w), sx = ByteSum(xu), swx = ByteDot(w, xu);
    const double a = n * s * s - 2 * s * sw + sww, b = sww, c = s * sw - sww;
    const double x0 = s * sx - swx, x1 = swx;
    const double det = a * b - c * c;
    if (det <= 0) return false;
    const double v0 = s * (b * x0 - c * x1) / det, v1 = s * (a * x1 - c * x0) / det;
    const int r0 = static_cast<int>(std::clamp(v0, 0.0, 255.0) + 0.5);
    const int r1 = static_cast<int>(std::clamp(v1, 0.0, 255.0) + 0.5);
    if (eight) {
        e0 = std::max(r0, r1);
        e1 = std::min(r0, r1);
        if (e0 == e1) {
            if (e0 < 255) {
                ++e0;
            } else {
                --e1;
            }
        }
    } else {
        e0 = std::min(r0, r1);
        e1 = std::max(r0, r1);
    }
    return true;
}

// Least-squares rounds while they lower the error.
Fit Refine(__m128i x, Fit fit, int rounds) {
    for (int i = 0; i < rounds && fit.error > 0; ++i) {
        int e0, e1;
        if (!Solve(x, fit, e0, e1)) break;
        const Fit next = Candidate(x, e0, e1);
        if (!(next.error < fit.error)) break;
        fit = next;
    }
    return fit;
}

// Every pair within kSearch of the fit's endpoints (in the same mode), until none is better.
Fit Search(__m128i x, Fit fit) {
    for (int round = 0; round < 8 && fit.error > 0; ++round) {
        const Fit start = fit;
        for (int d0 = -kSearch; d0 <= kSearch; ++d0) {
            for (int d1 = -kSearch; d1 <= kSearch; ++d1) {
                const int e0 = start.e0 + d0, e1 = start.e1 + d1;
                if (e0 < 0 || e0 > 255 || e1 < 0 || e1 > 255) continue;
                if ((e0 > e1) != (start.e0 > start.e1)) continue;
                const Fit next = Candidate(x, e0, e1);
                if (next.error < fit.error) fit = next;
            }
        }
        if (fit.e0 == start.e0 && fit.e1 == start.e1) break;
        fit = Refine(x, fit, 2);
    }
    return fit;
}

int HorizontalMin(__m128i v) {
    v = _mm_min_epu8(v, _mm_srli_si128(v, 8));
    v = _mm_min_epu8(v, _mm_srli_si128(v, 4));
    v = _mm_min_epu8(v, _mm_srli_si128(v, 2));
    v = _mm_min_epu8(v, _mm_srli_si128(v, 1));
    return _mm_cvtsi128_si32(v) & 0xFF;
}

int HorizontalMax(__m128i v) {
    v = _mm_max_epu8(v, _mm_srli_si128(v, 8));
    v = _mm_max_epu8(v, _mm_srli_si128(v, 4));
    v = _mm_max_epu8(v, _mm_srli_si128(v, 2));
    v = _mm_max_epu8(v, _mm_srli_si128(v, 1));
    return _mm_cvtsi128_si32(v) & 0xFF;
}

// Byte `channel` of each of the 16 pixels, in texel order.
__m128i Gather(const std::uint8_t* bgra, int channel) {
    __m128i words[4];
    for (int j = 0; j < 4; ++j) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgra + 16 * j));
        words[j] =
            _mm_and_si128(_mm_srl_epi32(px, _mm_cvtsi32_si128(8 * channel)), _mm_set1_epi32(0xFF));
    }
    return _mm_packus_epi16(_mm_packs_epi32(words[0], words[1]),
                            _mm_packs_epi32(words[2], words[3]));
}

void Store(const Fit& fit, std::uint8_t* block) {
    // Three bits a texel: pairs into 6 bits, fours into 12, eights into 24, then both halves.
    __m128i v = fit.indices;
    v = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x00FF)),
                     _mm_slli_epi16(_mm_srli_epi16(v, 8), 3));
    v = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi32(0xFFFF)),
                     _mm_slli_epi32(_mm_srli_epi32(v, 16), 6));
    v = _mm_or_si128(_mm_and_si128(v, _mm_set_epi32(0, -1, 0, -1)),
                     _mm_slli_epi64(_mm_srli_epi64(v, 32), 12));
    const std::uint64_t low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(v));
    const std::uint64_t high =
        static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
    const std::uint64_t bits = low | (high << 24);
    block[0] = static_cast<std::uint8_t>(fit.e0);
    block[1] = static_cast<std::uint8_t>(fit.e1);
    for (int i = 0; i < 6; ++i)
        block[2 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

void EncodeChannelBlock(const std::uint8_t* bgra, int channel, EncodeLevel level,
                        std::uint8_t* block) {
    const __m128i x = Gather(bgra, channel);
    const int low = HorizontalMin(x), high = HorizontalMax(x);
    if (low == high) {  // e0 == e1: every index 0 decodes the value itself
        Fit solid;
        solid.e0 = solid.e1 = low;
        Store(solid, block);
        return;
    }
    const bool best = level == EncodeLevel::Best;
    Fit fit = Refine(x, Candidate(x, high, low), best ? 8 : 2);
    if (best) fit = Search(x, fit);
    if (fit.error > 0 && (best || low < kNearEnd || high > 255 - kNearEnd)) {
        // The values between the ends: the others are replaced by 255 for the minimum and 0
        // for the maximum.
        const __m128i outside = _mm_or_si128(
            _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(kNearEnd - 1)), x),
            _mm_cmpeq_epi8(_mm_max_epu8(x, _mm_set1_epi8(static_cast<char>(256 - kNearEnd))), x));
        int innerLow = HorizontalMin(_mm_or_si128(x, outside));
        int innerHigh = HorizontalMax(_mm_andnot_si128(outside, x));
        if (innerLow > innerHigh) innerLow = innerHigh = 0;  // nothing between: all at the ends
        Fit six = Refine(x, Candidate(x, innerLow, innerHigh), best ? 8 : 2);
        if (best) six = Search(x, six);
        if (six.error < fit.error) fit = six;
    }
    Store(fit, block);
}

}  // namespace tintora
