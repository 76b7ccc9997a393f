// Whole-texture colour operations that map each colour channel on its own: invert, auto contrast
// and equalize, and the table mapping that contrast/luminosity shares with them.
//
// Every operation here reads a source view and writes a destination view of the same size. The
// two may be the same view (the editor runs these three in place on a texture's main pixel
// buffer); they must not otherwise overlap. Blue, green and red (bytes 0, 1, 2 of a pixel) change;
// alpha (byte 3) is copied unchanged. The work runs in parallel on the oneTBB arena of the caller;
// the functions are safe to call from several threads on different buffers.
//
// Cost: one pass over the pixels for invert; two for auto contrast and equalize (a scan, then a
// table lookup per byte), plus tables of 768 entries built once per call.
#pragma once

#include <array>
#include <cstdint>

#include "base/pixel_buffer.h"
#include "base/pixel_groups.h"

namespace tintora {

// One table of 256 new values per colour channel: tables[c][v] replaces value v in channel c
// (0 blue, 1 green, 2 red).
using ChannelTables = std::array<std::array<std::uint8_t, 256>, 3>;
using ChannelTable = std::array<std::uint8_t, 256>;

// The same table for all three channels.
ChannelTables SameForAllChannels(const ChannelTable& table);

// destination = source with every colour byte replaced through its channel's table; alpha copied.
// progress, when given, receives the counter of the "Busy (n%)" texts (see pixel_groups.h).
void ApplyChannelTables(const PixelView& source, const PixelView& destination,
                        const ChannelTables& tables, const ProgressFn& progress = {});

// Each colour byte becomes its complement, 255 minus its value. Applying it twice gives back the
// source.
void InvertColors(const PixelView& source, const PixelView& destination);

// Per channel: the smallest and the largest value over all pixels. An empty view gives 255 and 0.
struct ChannelRange {
    std::array<std::int32_t, 3> minimum{255, 255, 255};
    std::array<std::int32_t, 3> maximum{0, 0, 0};
};
ChannelRange ScanChannelRange(const PixelView& source);

// The stretch of one channel spanning minimum to maximum: v goes to (v - minimum) / (maximum -
// minimum) x 256 (division first, in double precision), cut to 0 to 255 and rounded to nearest,
// ties to even. The factor is 256, so a channel spanning 0 to 255 is not left as it is (128 goes
// to 129). A channel whose minimum is not below its maximum (every pixel holds the same value) is
// left as it is: the table is the identity.
ChannelTable AutoContrastTable(std::int32_t minimum, std::int32_t maximum);

// Stretches each channel linearly from its own minimum and maximum over the source (see
// AutoContrastTable). progress receives 25 after the scan and 50 once the tables are built,
// as the editor's status texts "Busy (25%)" and "Busy (50%)" need; nothing after the mapping.
void AutoContrast(const PixelView& source, const PixelView& destination,
                  const ProgressFn& progress = {});

// Per channel: how many pixels hold each value. counts[c][v] for channel c, value v.
using ChannelHistograms = std::array<std::array<std::int32_t, 256>, 3>;
ChannelHistograms CountChannelValues(const PixelView& source);

// The histogram equalization of one channel of pixelCount pixels whose values occur counts[v]
// times (the counts add up to pixelCount).
//
// For each output level k = 1 to 255 it finds the input level at which the cumulative count
// reaches k's share t = round(k x pixelCount / 256) (the share step kept in single precision,
// rounding ties to even), choosing between the two neighbouring levels by the nearer count, a tie
// going up; then it inverts that map: value v goes to the lowest output level r whose next level
// maps to v or above.
//
// With 128 pixels or fewer, the shares of the top output levels equal pixelCount and every count
// of the channel lies at or below them. The search then stops at the channel's last count and
// those levels map to 255, the top input level; nothing past the channel's 256 counts is read.
// (Mapping them to 256, one past the top, would give the same table: the inversion only asks
// whether a level is at or above a value of 0 to 255.) A single pixel, for example, maps its value
// to 128, or 0 to 0.
ChannelTable EqualizeTable(const std::array<std::int32_t, 256>& counts, std::int32_t pixelCount);

// Histogram equalization of each channel on its own (see EqualizeTable).
void Equalize(const PixelView& source, const PixelView& destination);

}  // namespace tintora
