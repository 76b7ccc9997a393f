#include "effects/channel_maps.h"

#include <tbb/blocked_range.h>
#include <tbb/combinable.h>
#include <tbb/parallel_reduce.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "effects/rounding.h"
#include "effects/view_checks.h"

namespace tintora {

static_assert(std::endian::native == std::endian::little,
              "pixels are read as 32-bit words with blue in the low byte");

namespace {

using pixel_groups::ForEachPixelGroup;
using effects_detail::PixelCount;
using effects_detail::RequireMatchingViews;
using effects_detail::RoundHalfEven;

// Chunks of the table-lookup loops: 64 KiB of pixels each; a progress group is worth starting
// the parallel loop for from about 64 Ki pixels per thread.
constexpr std::size_t kMapGrain = 16384;
constexpr std::size_t kMapGroupPerThread = 65536;

}  // namespace

ChannelTables SameForAllChannels(const ChannelTable& table) {
    return {table, table, table};
}

void ApplyChannelTables(const PixelView& source, const PixelView& destination,
                        const ChannelTables& tables, const ProgressFn& progress) {
    RequireMatchingViews(source, destination);
    // Each channel's new value already in its place in the 32-bit pixel, so one pixel costs three
    // lookups, two ORs and the alpha mask.
    std::array<std::array<std::uint32_t, 256>, 3> placed;
    for (int c = 0; c < 3; ++c) {
        for (int v = 0; v < 256; ++v) {
            placed[c][v] = static_cast<std::uint32_t>(tables[c][v]) << (8 * c);
        }
    }
    const std::uint8_t* in = source.data;
    std::uint8_t* out = destination.data;
    ForEachPixelGroup(PixelCount(source), kMapGrain,
                      pixel_groups::MinGroupPixels(kMapGroupPerThread), progress,
                      [&](std::size_t begin, std::size_t end) {
                          const auto& t0 = placed[0];
                          const auto& t1 = placed[1];
                          const auto& t2 = placed[2];
                          for (std::size_t p = begin; p < end; ++p) {
                              const std::uint32_t v = LoadPixel(in + 4 * p);
                              StorePixel(out + 4 * p, t0[v & 0xFF] | t1[(v >> 8) & 0xFF] |
                                                          t2[(v >> 16) & 0xFF] | (v & 0xFF000000u));
                          }
                      });
}

void InvertColors(const PixelView& source, const PixelView& destination) {
    RequireMatchingViews(source, destination);
    const std::uint8_t* in = source.data;
    std::uint8_t* out = destination.data;
    ForEachPixelGroup(PixelCount(source), kMapGrain, 0, {},
                      [&](std::size_t begin, std::size_t end) {
                          // Four pixels at a time through a local block, which the compiler turns
                          // into one vector XOR; the block also keeps an in-place run correct.
                          constexpr std::uint8_t kMask[16] = {255, 255, 255, 0, 255, 255, 255, 0,
                                                              255, 255, 255, 0, 255, 255, 255, 0};
                          std::size_t p = begin;
                          for (; p + 4 <= end; p += 4) {
                              std::uint8_t block[16];
                              std::memcpy(block, in + 4 * p, 16);
                              for (int i = 0; i < 16; ++i)
                                  block[i] ^= kMask[i];
                              std::memcpy(out + 4 * p, block, 16);
                          }
                          for (; p < end; ++p)
                              StorePixel(out + 4 * p, LoadPixel(in + 4 * p) ^ 0x00FFFFFFu);
                      });
}

ChannelRange ScanChannelRange(const PixelView& source) {
    const std::uint8_t* in = source.data;
    using Lanes = std::array<std::uint8_t, 16>;
    struct Extremes {
        Lanes low;
        Lanes high;
    };
    Extremes identity;
    identity.low.fill(255);
    identity.high.fill(0);
    // Lane i of a 16-byte block always holds channel i % 4, so the running minimum and maximum
    // per lane vectorise as whole blocks; the lanes fold into channels at the end.
    const Extremes total = tbb::parallel_reduce(
        tbb::blocked_range<std::size_t>(0, PixelCount(source), kMapGrain), identity,
        [in](const tbb::blocked_range<std::size_t>& range, Extremes acc) {
            // Local lanes and a local block: the compiler can see that the running values do
            // not alias the pixels and keeps them in vector registers.
            std::uint8_t low[16];
            std::uint8_t high[16];
            std::memcpy(low, acc.low.data(), 16);
            std::memcpy(high, acc.high.data(), 16);
            std::size_t p = range.begin();
            for (; p + 4 <= range.end(); p += 4) {
                std::uint8_t block[16];
                std::memcpy(block, in + 4 * p, 16);
                for (int i = 0; i < 16; ++i) {
                    low[i] = block[i] < low[i] ? block[i] : low[i];
                    high[i] = block[i] > high[i] ? block[i] : high[i];
                }
            }
            for (; p < range.end(); ++p) {
                for (int c = 0; c < 4; ++c) {
                    low[c] = std::min(low[c], in[4 * p + c]);
                    high[c] = std::max(high[c], in[4 * p + c]);
                }
            }
            std::memcpy(acc.low.data(), low, 16);
            std::memcpy(acc.high.data(), high, 16);
            return acc;
        },
        [](Extremes a, const Extremes& b) {
            for (int i = 0; i < 16; ++i) {
                a.low[i] = std::min(a.low[i], b.low[i]);
                a.high[i] = std::max(a.high[i], b.high[i]);
            }
            return a;
        });
    ChannelRange range;
    for (int i = 0; i < 16; ++i) {
        const int c = i % 4;
        if (c == 3) continue;
        range.minimum[c] = std::min<std::int32_t>(range.minimum[c], total.low[i]);
        range.maximum[c] = std::max<std::int32_t>(range.maximum[c], total.high[i]);
    }
    return range;
}

ChannelTable AutoContrastTable(std::int32_t minimum, std::int32_t maximum) {
    ChannelTable table;
    if (minimum >= maximum) {
        for (int v = 0; v < 256; ++v)
            table[v] = static_cast<std::uint8_t>(v);
        return table;
    }
    const auto span = static_cast<double>(maximum - minimum);
    for (int v = 0; v < 256; ++v) {
        double t = static_cast<double>(v - minimum) / span * 256.0;
        if (t > 255) t = 255;
        if (t < 0) t = 0;
        table[v] = static_cast<std::uint8_t>(RoundHalfEven(t));
    }
    return table;
}

void AutoContrast(const PixelView& source, const PixelView& destination,
                  const ProgressFn& progress) {
    RequireMatchingViews(source, destination);
    const ChannelRange range = ScanChannelRange(source);
    if (progress) progress(25);
    ChannelTables tables;
    for (int c = 0; c < 3; ++c)
        tables[c] = AutoContrastTable(range.minimum[c], range.maximum[c]);
    if (progress) progress(50);
    ApplyChannelTables(source, destination, tables);
}

ChannelHistograms CountChannelValues(const PixelView& source) {
    const std::uint8_t* in = source.data;
    // Counts are kept per chunk, in two copies (even and odd pixels) so that a run of equal
    // values does not wait on its own previous increment.
    using Counts = std::array<std::array<std::int32_t, 256>, 3>;
    tbb::combinable<Counts> perThread([] { return Counts{}; });
    tbb::parallel_for(tbb::blocked_range<std::size_t>(0, PixelCount(source), kMapGrain),
                      [&](const tbb::blocked_range<std::size_t>& range) {
                          std::array<Counts, 2> local{};
                          for (std::size_t p = range.begin(); p < range.end(); ++p) {
                              Counts& counts = local[p & 1];
                              ++counts[0][in[4 * p]];
                              ++counts[1][in[4 * p + 1]];
                              ++counts[2][in[4 * p + 2]];
                          }
                          Counts& mine = perThread.local();
                          for (int c = 0; c < 3; ++c) {
                              for (int v = 0; v < 256; ++v) {
                                  mine[c][v] += local[0][c][v] + local[1][c][v];
                              }
                          }
                      });
    ChannelHistograms total{};
    perThread.combine_each([&total](const Counts& counts) {
        for (int c = 0; c < 3; ++c) {
            for (int v = 0; v < 256; ++v)
                total[c][v] += counts[c][v];
        }
    });
    return total;
}

ChannelTable EqualizeTable(const std::array<std::int32_t, 256>& counts, std::int32_t pixelCount) {
    // Cumulative counts: cumulative[v] pixels hold v or less; cumulative[255] is pixelCount.
    std::array<std::int32_t, 256> cumulative = counts;
    for (int v = 1; v < 256; ++v)
        cumulative[v] += cumulative[v - 1];

    // Level map: level[k] is the input level at which the cumulative count reaches output level
    // k's share; level 0 is 0 and level 256 is 256.
    const auto step = static_cast<float>(static_cast<double>(pixelCount) / 256.0);
    std::array<std::int32_t, 257> level;
    level[0] = 0;
    level[256] = 256;
    int j = 0;
    for (int k = 1; k <= 255; ++k) {
        const auto target = static_cast<std::int32_t>(RoundHalfEven(static_cast<double>(step) * k));
        while (j < 255 && cumulative[j + 1] <= target)
            ++j;
        if (j == 255) {
            // Every pixel of the channel is at or below the target: the top input level.
            level[k] = 255;
        } else if (target - cumulative[j] < cumulative[j + 1] - target) {
            level[k] = j;
        } else {
            level[k] = j + 1;
        }
    }

    // Inversion: value v goes to the lowest r whose next level reaches v. level[256] is 256, so
    // r stops at 255 at the latest.
    ChannelTable table;
    for (int v = 0; v < 256; ++v) {
        int r = 0;
        while (level[r + 1] < v)
            ++r;
        table[v] = static_cast<std::uint8_t>(r);
    }
    return table;
}

void Equalize(const PixelView& source, const PixelView& destination) {
    RequireMatchingViews(source, destination);
    const ChannelHistograms counts = CountChannelValues(source);
    const auto pixelCount = static_cast<std::int32_t>(PixelCount(source));
    ChannelTables tables;
    for (int c = 0; c < 3; ++c)
        tables[c] = EqualizeTable(counts[c], pixelCount);
    ApplyChannelTables(source, destination, tables);
}

}  // namespace tintora
