// Mipmap chains. Each level is filtered from the stored bytes of the level above (a quarter of the
// work of filtering the top again, for a rounding of under half a byte per level): a separable
// filter, first down the columns into one float row per destination row, then along that row.
// Values are floats on the byte scale (0..255); sRGB colour channels are linear light on that
// scale. Edges clamp: texels outside the image repeat the nearest edge texel.
#include "imagefiles/mipmaps.h"

#include <emmintrin.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_reduce.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/error.h"

namespace tintora {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Both windowed sincs reach three destination texels either side (twelve source texels when
// halving). Kaiser's alpha of 4 passes 98 % or more of a wave below 0.6 of the new Nyquist
// frequency and under 2 % of one above 1.4 times it (a 2 x 2 box: 89 % and 45 %).
constexpr double kSincRadius = 3.0;
constexpr double kKaiserAlpha = 4.0;
// Destination rows per parallel task, at least. Each task decodes the source rows it reads once,
// including the few its first rows share with the task above; larger tasks repeat fewer.
constexpr std::size_t kRowsPerTask = 32;
// Destination texels between two progress reports, at least, and at least one per cent of the
// chain's: a parallel loop per group costs little against its work.
constexpr std::size_t kMinProgressGroup = std::size_t{1} << 18;

// The modified Bessel function of the first kind, order 0 (its power series).
double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    const double quarterSquare = x * x / 4.0;
    for (int k = 1; term > sum * 1e-16; ++k) {
        term *= quarterSquare / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

double Sinc(double t) {
    if (std::abs(t) < 1e-12) return 1.0;
    return std::sin(kPi * t) / (kPi * t);
}

// The windowed sinc at t destination texels from the centre.
double WindowedSinc(MipFilter filter, double t) {
    if (std::abs(t) >= kSincRadius) return 0.0;
    if (filter == MipFilter::Lanczos) return Sinc(t) * Sinc(t / kSincRadius);
    const double q = t / kSincRadius;
    return Sinc(t) * BesselI0(kKaiserAlpha * std::sqrt(1.0 - q * q)) / BesselI0(kKaiserAlpha);
}

// The source texels behind each destination texel along one axis and their weights.
struct Taps {
    int count = 0;               // taps per destination texel; zero weights pad the shorter ones
    std::vector<int> first;      // the first tap's source texel (may lie outside: edges clamp)
    std::vector<float> weights;  // count per destination texel, summing to 1
};

// Destination texel x covers source [x s, (x + 1) s) with s = source / destination, so its
// footprint is centred on the source even when the source size is odd. The box weighs each source
// texel by the part of it the footprint covers; the sincs are sampled at the source texels'
// centres, scaled by s. A size that stays (1 -> 1) copies.
Taps MakeTaps(int source, int destination, MipFilter filter) {
    Taps taps;
    taps.first.resize(static_cast<std::size_t>(destination));
    std::vector<std::vector<double>> rows(static_cast<std::size_t>(destination));
    const double scale = static_cast<double>(source) / destination;
    for (int x = 0; x < destination; ++x) {
        std::vector<double>& row = rows[static_cast<std::size_t>(x)];
        const double low = x * scale;
        const double high = (x + 1) * scale;
        const double centre = (low + high) / 2.0;
        int begin = x;
        int end = x + 1;
        if (source != destination && filter == MipFilter::Box) {
            begin = static_cast<int>(std::floor(low));
            end = static_cast<int>(std::ceil(high));
        } else if (source != destination) {
            const double reach = kSincRadius * scale;
            begin = static_cast<int>(std::ceil(centre - reach - 0.5));
            end = static_cast<int>(std::floor(centre + reach - 0.5)) + 1;
        }
        double sum = 0.0;
        for (int i = begin; i < end; ++i) {
            const double weight =
                source == destination ? 1.0
                : filter == MipFilter::Box
                    ? std::max(0.0, std::min(i + 1.0, high) - std::max<double>(i, low))
                    : WindowedSinc(filter, (i + 0.5 - centre) / scale);
            row.push_back(weight);
            sum += weight;
        }
        for (double& weight : row)
            weight /= sum;
        taps.first[static_cast<std::size_t>(x)] = begin;
        taps.count = std::max(taps.count, end - begin);
    }
    taps.weights.assign(static_cast<std::size_t>(destination) * taps.count, 0.0f);
    for (std::size_t x = 0; x < rows.size(); ++x) {
        for (std::size_t j = 0; j < rows[x].size(); ++j)
            taps.weights[x * taps.count + j] = static_cast<float>(rows[x][j]);
    }
    return taps;
}

// The exact sRGB curve: an sRGB value in 0..1 to linear light in 0..1.
double SrgbToLinear(double s) {
    return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

// sRGB bytes to linear light, and linear light back to the nearest sRGB byte.
struct SrgbTables {
    // The linear value of each sRGB byte, times 255.
    std::array<float, 256> toLinear{};
    // threshold[b]: the linear value (times 255) halfway between bytes b - 1 and b on the sRGB
    // scale; the byte of a linear value is the last b whose threshold it reaches. threshold[256]
    // is never reached.
    std::array<float, 257> threshold{};
    // The last byte whose threshold lies at or below each of kBuckets equal steps of 0..255: where
    // the search for a value's byte starts. Steps are finer than the bytes' spacing at the steep
    // dark end, so the search moves on by one or two bytes at most.
    static constexpr int kBuckets = 4096;
    std::array<std::uint8_t, kBuckets + 1> start{};

    SrgbTables() {
        for (int b = 0; b < 256; ++b)
            toLinear[b] = static_cast<float>(255.0 * SrgbToLinear(b / 255.0));
        threshold[0] = 0.0f;
        for (int b = 1; b < 256; ++b)
            threshold[b] = static_cast<float>(255.0 * SrgbToLinear((b - 0.5) / 255.0));
        threshold[256] = HUGE_VALF;
        int b = 0;
        for (int k = 0; k <= kBuckets; ++k) {
            const float low = static_cast<float>(255.0 * k / kBuckets);
            while (threshold[b + 1] <= low)
                ++b;
            start[k] = static_cast<std::uint8_t>(b);
        }
    }

    std::uint8_t Encode(float linear) const {
        const float v = std::clamp(linear, 0.0f, 255.0f);
        int b = start[static_cast<int>(v * (kBuckets / 255.0f))];
        while (v >= threshold[b + 1])
            ++b;
        while (v < threshold[b])
            --b;  // a value rounded just below its step's start
        return static_cast<std::uint8_t>(b);
    }
};

const SrgbTables& Srgb() {
    static const SrgbTables tables;
    return tables;
}

// Rounds to the nearest byte; the negative lobes of the sincs can leave 0..255.
inline std::uint8_t ToByte(float v) {
    return static_cast<std::uint8_t>(static_cast<int>(std::clamp(v, 0.0f, 255.0f) + 0.5f));
}

// How a level's float texels become bytes again.
enum class Encoding { Linear, Srgb, NormalMap };

// Source texels as floats: the sRGB colour channels through the table, the rest as they are.
void DecodeRow(const std::uint8_t* source, int width, Encoding encoding, float* out) {
    const std::size_t count = static_cast<std::size_t>(width) * 4;
    if (encoding == Encoding::Srgb) {
        const std::array<float, 256>& toLinear = Srgb().toLinear;
        for (std::size_t i = 0; i < count; i += 4) {
            out[i] = toLinear[source[i]];
            out[i + 1] = toLinear[source[i + 1]];
            out[i + 2] = toLinear[source[i + 2]];
            out[i + 3] = source[i + 3];
        }
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i));
        const __m128i low = _mm_unpacklo_epi8(bytes, zero);
        const __m128i high = _mm_unpackhi_epi8(bytes, zero);
        _mm_storeu_ps(out + i, _mm_cvtepi32_ps(_mm_unpacklo_epi16(low, zero)));
        _mm_storeu_ps(out + i + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(low, zero)));
        _mm_storeu_ps(out + i + 8, _mm_cvtepi32_ps(_mm_unpacklo_epi16(high, zero)));
        _mm_storeu_ps(out + i + 12, _mm_cvtepi32_ps(_mm_unpackhi_epi16(high, zero)));
    }
    for (; i < count; ++i)
        out[i] = source[i];
}

// Float texels back to bytes. Normal maps hold x, y, z in red, green and blue, byte b meaning
// b / 127.5 - 1 (as the normal-map generator writes them); each vector is scaled to unit length,
// and one that filtered away to nothing points straight out of the surface. alpha (may be null)
// receives each texel's alpha before rounding, clamped to 0..255.
void EncodeRow(const float* texels, int width, Encoding encoding, std::uint8_t* out, float* alpha) {
    const std::size_t count = static_cast<std::size_t>(width) * 4;
    if (alpha != nullptr) {
        for (std::size_t i = 0; i < count; i += 4)
            alpha[i / 4] = std::clamp(texels[i + 3], 0.0f, 255.0f);
    }
    std::size_t i = 0;
    if (encoding == Encoding::Linear) {
        // Four texels at a time: clamp, add one half, truncate, pack to bytes.
        const __m128 high = _mm_set1_ps(255.0f);
        const __m128 half = _mm_set1_ps(0.5f);
        const auto toInts = [&](const float* p) {
            const __m128 v = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(p), _mm_setzero_ps()), high);
            return _mm_cvttps_epi32(_mm_add_ps(v, half));
        };
        for (; i + 16 <= count; i += 16) {
            const __m128i low = _mm_packs_epi32(toInts(texels + i), toInts(texels + i + 4));
            const __m128i top = _mm_packs_epi32(toInts(texels + i + 8), toInts(texels + i + 12));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(low, top));
        }
        for (; i < count; ++i)
            out[i] = ToByte(texels[i]);
    } else if (encoding == Encoding::Srgb) {
        const SrgbTables& srgb = Srgb();
        for (; i < count; i += 4) {
            out[i] = srgb.Encode(texels[i]);
            out[i + 1] = srgb.Encode(texels[i + 1]);
            out[i + 2] = srgb.Encode(texels[i + 2]);
            out[i + 3] = ToByte(texels[i + 3]);
        }
    } else {
        for (; i < count; i += 4) {
            float z = texels[i] / 127.5f - 1.0f;
            float y = texels[i + 1] / 127.5f - 1.0f;
            float x = texels[i + 2] / 127.5f - 1.0f;
            const float lengthSquared = x * x + y * y + z * z;
            if (lengthSquared < 1e-12f) {
                x = y = 0.0f;
                z = 1.0f;
            } else {
                const float inverse = 1.0f / std::sqrt(lengthSquared);
                x *= inverse;
                y *= inverse;
                z *= inverse;
            }
            out[i] = ToByte((z + 1.0f) * 127.5f);
            out[i + 1] = ToByte((y + 1.0f) * 127.5f);
            out[i + 2] = ToByte((x + 1.0f) * 127.5f);
            out[i + 3] = ToByte(texels[i + 3]);
        }
    }
}

// out[k] = the weighted sum of rows[j][k], j in order, for count floats (a multiple of 4).
void FilterColumns(const std::vector<const float*>& rows, const std::vector<float>& weights,
                   std::size_t count, float* out) {
    std::size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        __m128 w = _mm_set1_ps(weights[0]);
        __m128 a0 = _mm_mul_ps(w, _mm_loadu_ps(rows[0] + k));
        __m128 a1 = _mm_mul_ps(w, _mm_loadu_ps(rows[0] + k + 4));
        __m128 a2 = _mm_mul_ps(w, _mm_loadu_ps(rows[0] + k + 8));
        __m128 a3 = _mm_mul_ps(w, _mm_loadu_ps(rows[0] + k + 12));
        for (std::size_t j = 1; j < rows.size(); ++j) {
            w = _mm_set1_ps(weights[j]);
            const float* row = rows[j] + k;
            a0 = _mm_add_ps(a0, _mm_mul_ps(w, _mm_loadu_ps(row)));
            a1 = _mm_add_ps(a1, _mm_mul_ps(w, _mm_loadu_ps(row + 4)));
            a2 = _mm_add_ps(a2, _mm_mul_ps(w, _mm_loadu_ps(row + 8)));
            a3 = _mm_add_ps(a3, _mm_mul_ps(w, _mm_loadu_ps(row + 12)));
        }
        _mm_storeu_ps(out + k, a0);
        _mm_storeu_ps(out + k + 4, a1);
        _mm_storeu_ps(out + k + 8, a2);
        _mm_storeu_ps(out + k + 12, a3);
    }
    for (; k < count; k += 4) {
        __m128 a = _mm_mul_ps(_mm_set1_ps(weights[0]), _mm_loadu_ps(rows[0] + k));
        for (std::size_t j = 1; j < rows.size(); ++j)
            a = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(weights[j]), _mm_loadu_ps(rows[j] + k)));
        _mm_storeu_ps(out + k, a);
    }
}

// Filters the row of texels (padded: texel i at padded[(i + pad) x 4]) along its length.
void FilterRow(const float* padded, int pad, const Taps& taps, float* out) {
    const float* weights = taps.weights.data();
    for (std::size_t x = 0; x < taps.first.size(); ++x, weights += taps.count) {
        const float* texel = padded + static_cast<std::ptrdiff_t>(taps.first[x] + pad) * 4;
        __m128 a = _mm_mul_ps(_mm_set1_ps(weights[0]), _mm_loadu_ps(texel));
        for (int j = 1; j < taps.count; ++j)
            a = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(weights[j]), _mm_loadu_ps(texel + 4 * j)));
        _mm_storeu_ps(out + 4 * x, a);
    }
}

// One level from the level above, destination rows [rowBegin, rowEnd) at a time. alpha (may be
// null) receives the destination's alpha before rounding, a float per texel.
class LevelFilter {
  public:
    LevelFilter(const PixelView& source, PixelView destination, MipFilter filter, Encoding encoding,
                float* alpha)
        : source_(source),
          destination_(destination),
          encoding_(encoding),
          alpha_(alpha),
          columns_(MakeTaps(source.width, destination.width, filter)),
          rows_(MakeTaps(source.height, destination.height, filter)),
          padLeft_(std::max(0, -columns_.first.front())),
          padRight_(std::max(0, columns_.first.back() + columns_.count - source.width)) {}

    // Source rows are decoded as the destination rows reach them, into a ring of as many rows
    // as the filter spans: each is decoded once per task and stays in the cache while used.
    void Run(int rowBegin, int rowEnd) const {
        const int width = source_.width;
        const std::size_t rowFloats = static_cast<std::size_t>(width) * 4;
        const int ringRows = rows_.count;
        const auto ring =
            std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(ringRows) * rowFloats);
        const auto ringRow = [&](int sourceRow) {
            return ring.get() + static_cast<std::size_t>(sourceRow % ringRows) * rowFloats;
        };
        int next = SourceRow(rowBegin, 0);  // the next source row to decode

        std::vector<float> padded(static_cast<std::size_t>(padLeft_ + width + padRight_) * 4);
        std::vector<float> filtered(static_cast<std::size_t>(destination_.width) * 4);
        std::vector<const float*> taps;
        std::vector<float> weights;
        for (int y = rowBegin; y < rowEnd; ++y) {
            for (const int last = SourceRow(y, rows_.count - 1); next <= last; ++next)
                DecodeRow(source_.pixel(0, next), width, encoding_, ringRow(next));
            taps.clear();
            weights.clear();
            for (int j = 0; j < rows_.count; ++j) {
                const float weight = rows_.weights[static_cast<std::size_t>(y) * rows_.count + j];
                if (weight == 0.0f) continue;
                taps.push_back(ringRow(SourceRow(y, j)));
                weights.push_back(weight);
            }
            float* row = padded.data() + static_cast<std::size_t>(padLeft_) * 4;
            FilterColumns(taps, weights, rowFloats, row);
            for (int i = 0; i < padLeft_; ++i)
                std::copy_n(row, 4, padded.data() + 4 * i);
            for (int i = 0; i < padRight_; ++i)
                std::copy_n(row + rowFloats - 4, 4, row + rowFloats + 4 * i);
            FilterRow(padded.data(), padLeft_, columns_, filtered.data());
            EncodeRow(filtered.data(), destination_.width, encoding_, destination_.pixel(0, y),
                      alpha_ == nullptr
                          ? nullptr
                          : alpha_ + static_cast<std::size_t>(y) * destination_.width);
        }
    }

  private:
    // The source row of tap j of destination row y, clamped to the image.
    int SourceRow(int y, int j) const {
        return std::clamp(rows_.first[static_cast<std::size_t>(y)] + j, 0, source_.height - 1);
    }

    PixelView source_;
    PixelView destination_;
    Encoding encoding_;
    float* alpha_;
    Taps columns_;
    Taps rows_;
    int padLeft_;
    int padRight_;
};

// Texels of the top level whose alpha is at least reference.
std::size_t CountCovered(const PixelView& top, int reference) {
    return tbb::parallel_reduce(
        tbb::blocked_range<int>(0, top.height, 16), std::size_t{0},
        [&](const tbb::blocked_range<int>& rows, std::size_t count) {
            for (int y = rows.begin(); y < rows.end(); ++y) {
                const std::uint8_t* texel = top.pixel(0, y);
                for (int x = 0; x < top.width; ++x)
                    count += texel[4 * x + 3] >= reference;
            }
            return count;
        },
        std::plus<>());
}

// Texels whose alpha is at least threshold (integer counts: the same at any thread count).
std::size_t CountAtLeast(const std::vector<float>& alpha, float threshold) {
    return tbb::parallel_reduce(
        tbb::blocked_range<std::size_t>(0, alpha.size(), std::size_t{1} << 14), std::size_t{0},
        [&](const tbb::blocked_range<std::size_t>& range, std::size_t count) {
            for (std::size_t i = range.begin(); i < range.end(); ++i)
                count += alpha[i] >= threshold;
            return count;
        },
        std::plus<>());
}

// Texels per whole part of alpha (alpha lies in 0..255).
using AlphaHistogram = std::array<std::size_t, 256>;

AlphaHistogram CountWholeAlpha(const std::vector<float>& alpha) {
    return tbb::parallel_reduce(
        tbb::blocked_range<std::size_t>(0, alpha.size(), std::size_t{1} << 14), AlphaHistogram{},
        [&](const tbb::blocked_range<std::size_t>& range, AlphaHistogram counts) {
            for (std::size_t i = range.begin(); i < range.end(); ++i)
                ++counts[static_cast<std::size_t>(std::min(alpha[i], 255.0f))];
            return counts;
        },
        [](AlphaHistogram a, const AlphaHistogram& b) {
            for (std::size_t i = 0; i < a.size(); ++i)
                a[i] += b[i];
            return a;
        });
}

// Scales the level's alpha (alpha: its values before rounding, 0..255) so that its number of
// texels with alpha >= reference comes closest to target. Scaling by f and rounding keeps exactly
// the texels whose alpha reaches (reference - 0.5) / f, so the search for f is a search for that
// threshold: first the whole values it lies between, from the counts of whole alphas, then a
// binary search between them over the bit patterns of the floats (which rise with the values they
// encode) for the lowest threshold that keeps no more texels than the target; it or the one below
// is closest. The rounded level stays as it is unless scaling comes strictly closer.
void KeepAlphaCoverage(PixelView level, const std::vector<float>& alpha, int reference,
                       double target) {
    const auto error = [target](std::size_t count) {
        return std::abs(static_cast<double>(count) - target);
    };
    const AlphaHistogram wholes = CountWholeAlpha(alpha);
    std::array<std::size_t, 257> atLeast{};  // texels with alpha >= each whole value
    for (int v = 255; v >= 0; --v)
        atLeast[v] = atLeast[v + 1] + wholes[v];
    int whole = 0;  // the lowest whole value that keeps no more than the target
    while (static_cast<double>(atLeast[whole]) > target)
        ++whole;

    std::vector<float> between;  // the alphas in [whole - 1, whole)
    const float top = static_cast<float>(whole);
    for (const float a : alpha) {
        if (a < top && a >= top - 1.0f) between.push_back(a);
    }
    const auto keeps = [&](std::uint32_t bits) {
        const float threshold = std::bit_cast<float>(bits);
        return atLeast[whole] + static_cast<std::size_t>(
                                    std::count_if(between.begin(), between.end(),
                                                  [threshold](float a) { return a >= threshold; }));
    };
    std::uint32_t low = whole > 0 ? std::bit_cast<std::uint32_t>(whole - 1.0f) : 0;
    std::uint32_t high = std::bit_cast<std::uint32_t>(static_cast<float>(whole));
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        if (static_cast<double>(keeps(middle)) <= target) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    if (whole > 0 && error(keeps(high - 1)) < error(keeps(high))) --high;
    const float threshold = std::bit_cast<float>(high);
    if (error(CountAtLeast(alpha, reference - 0.5f)) <= error(keeps(high))) return;

    // Texels at or above the threshold round to reference or more, the others to less: the
    // comparison decides, so that no rounding of the product moves a texel across.
    const float factor = static_cast<float>((reference - 0.5) / std::max(threshold, 1e-6f));
    tbb::parallel_for(
        tbb::blocked_range<int>(0, level.height, 16),
        [&alpha, level, reference, threshold, factor](const tbb::blocked_range<int>& rows) {
            const std::size_t begin = static_cast<std::size_t>(rows.begin()) * level.width;
            const std::size_t end = static_cast<std::size_t>(rows.end()) * level.width;
            const float* a = alpha.data();
            std::uint8_t* texels = level.data;
            for (std::size_t i = begin; i < end; ++i) {
                const int scaled = ToByte(a[i] * factor);
                texels[4 * i + 3] =
                    static_cast<std::uint8_t>(a[i] >= threshold ? std::max(scaled, reference)
                                                                : std::min(scaled, reference - 1));
            }
        });
}

}  // namespace

int MipLevelCount(int width, int height) {
    if (width < 1 || height < 1) return 0;
    int levels = 1;
    for (int size = std::max(width, height); size > 1; size /= 2)
        ++levels;
    return levels;
}

std::vector<PixelBuffer> MakeMipChain(const PixelView& top, const MipOptions& options,
                                      const ProgressFn& progress) {
    Require(top.data != nullptr && top.width > 0 && top.height > 0, D3DERR_INVALIDCALL,
            "A mipmap chain needs a texture of at least 1 x 1.");
    Require(options.alphaReference >= 0 && options.alphaReference <= 255, D3DERR_INVALIDCALL,
            "The alpha reference of a mipmap chain must lie in 0..255.");
    const Encoding encoding = options.normalMap ? Encoding::NormalMap
                              : options.srgb    ? Encoding::Srgb
                                                : Encoding::Linear;
    const int reference = options.alphaReference;
    // The share of the top's texels at or above the reference, which every level keeps.
    const double share = reference > 0 ? static_cast<double>(CountCovered(top, reference)) /
                                             (static_cast<double>(top.width) * top.height)
                                       : 0.0;
    std::vector<float> alpha;

    std::vector<PixelBuffer> levels;
    std::size_t total = 0;
    for (int w = top.width, h = top.height; w > 1 || h > 1;) {
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
        levels.emplace_back(w, h);
        total += static_cast<std::size_t>(w) * h;
    }

    const std::size_t groupTexels = std::max(kMinProgressGroup, total / 100);
    std::size_t done = 0;
    int reported = 0;
    PixelView source = top;
    for (PixelBuffer& level : levels) {
        const PixelView destination = level.view();
        if (reference > 0)
            alpha.resize(static_cast<std::size_t>(destination.width) * destination.height);
        const LevelFilter filter(source, destination, options.filter, encoding,
                                 reference > 0 ? alpha.data() : nullptr);
        const int groupRows =
            progress ? static_cast<int>(std::max<std::size_t>(
                           1, groupTexels / static_cast<std::size_t>(destination.width)))
                     : destination.height;
        for (int begin = 0; begin < destination.height; begin += groupRows) {
            const int end = std::min(destination.height, begin + groupRows);
            tbb::parallel_for(tbb::blocked_range<int>(begin, end, kRowsPerTask),
                              [&filter](const tbb::blocked_range<int>& rows) {
                                  filter.Run(rows.begin(), rows.end());
                              });
            done += static_cast<std::size_t>(end - begin) * destination.width;
            const int counter = pixel_groups::ProgressCounter(done, total);
            if (progress && total >= 100 && counter > reported) {
                reported = counter;
                progress(counter);
            }
        }
        if (reference > 0)
            KeepAlphaCoverage(destination, alpha, reference,
                              share * static_cast<double>(alpha.size()));
        source = destination;
    }
    if (progress && reported < 100) progress(100);
    return levels;
}

}  // namespace tintora
